#include <gtest/gtest.h>

#include "Accounts.h"
#include "RelayCrypto.h"

using namespace relay;

TEST(RelayAccounts, ReadsAccountsContactsAndDevices) {
    AccountBook book;
    std::string error;
    ASSERT_TRUE(book.LoadText("# comment\n"
                              "account|a@x|secret|Ann\r\n"
                              "account|b@x|md5:fe01ce2a7fbac8fafaed7c982a04e229|Ben\n"
                              "\n"
                              "contact|a@x|b@x\n"
                              "contact|a@x|b@x\n"
                              "device|a@x|id-1|Ann's PC\n"
                              "device|b@x|*|Any PC\n",
                              "t", error))
        << error;
    Account* a = book.Find("a@x");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->digest, Md5Hex("secret"));
    EXPECT_EQ(a->display, "Ann");
    EXPECT_EQ(a->contacts, std::vector<std::string>{"b@x"});
    ASSERT_NE(a->DeviceName("id-1"), nullptr);
    EXPECT_EQ(*a->DeviceName("id-1"), "Ann's PC");
    EXPECT_EQ(a->DeviceName("id-2"), nullptr);
    EXPECT_EQ(book.Find("b@x")->digest, Md5Hex("demo"));
    EXPECT_EQ(*book.Find("b@x")->DeviceName("whatever"), "Any PC");
}

TEST(RelayAccounts, RejectsMalformedLinesWithTheirPlace) {
    struct Case {
        const char* text;
        const char* place;
    } cases[] = {
        {"account|a@x|pw\n", "t:1"},
        {"account|a@x|pw|A\ncontact|a@x|nobody@x\n", "t:2"},
        {"device|a@x|id|PC\n", "t:1"},
        {"account|a@x|md5:XYZ|A\n", "t:1"},
        {"account||pw|A\n", "t:1"},
        {"account|a@x|pw|A\nfriend|a@x|a@x|z\n", "t:2"},
    };
    for (const auto& c : cases) {
        AccountBook book;
        std::string error;
        EXPECT_FALSE(book.LoadText(c.text, "t", error)) << c.text;
        EXPECT_EQ(error.compare(0, strlen(c.place), c.place), 0) << error;
    }
}

TEST(RelayAccounts, EnrolmentLineReadsBack) {
    AccountBook book;
    std::string error;
    ASSERT_TRUE(book.LoadText("account|a@x|pw|A\n" + AccountBook::DeviceLine("a@x", "id-9", "Desk") + "\n", "t", error)) << error;
    EXPECT_EQ(*book.Find("a@x")->DeviceName("id-9"), "Desk");
}
