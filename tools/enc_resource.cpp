// Build tool: the program's "enc_resource" mode on its own, so that the build
// can turn dat\string_*.txt beside it into the enciphered language files.
#include "settings/LanguageTable.h"

int main()
{
    EncryptLanguageFiles();
    return 0;
}
