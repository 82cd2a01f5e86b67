// Sign-in: the login request, the optional enrolment of this computer as a
// secure device, and the session request that settles the pad.
#include <cstring>

#include "crypto/CryptoCore.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"

void VoIPManager::AppendLoginFields(CmdMsg& message)
{
    std::string digest;
    CryptoCore::MakeFingerprint(digest, password);
    FieldList& fields = message.GetFieldList();
    AppendBuf(fields, encryptedIdentity);
    AppendBuf(fields, encryptedUserName);
    AppendString(fields, digest);
}

bool VoIPManager::SendLogin()
{
    CmdMsg message(CmdHeader::LoginRequest);
    AppendLoginFields(message);
    if (Send(message))
        return true;
    PostText(VE_LoginFailed, 57);
    return false;
}

void VoIPManager::SendCommand120()
{
    CmdMsg message(CmdHeader::RepeatedCredentials);
    AppendLoginFields(message);
    Send(message);
}

void VoIPManager::OnLoginStep(CmdMsg& message, bool twin)
{
    BufReader& reader = message.GetReader();
    uint8_t accepted = 0;
    if (!reader.ReadU8(accepted).IsOk()) {
        PostText(VE_LoginFailed, 58);
        return;
    }
    if (!accepted) {
        VoipEventText reason;
        if (ReadText(reader, twin, reason.text))
            handlerRegistry.Broadcast(VE_LoginFailed, reason);
        else
            PostText(VE_LoginFailed, 58);
        return;
    }
    uint8_t deviceUnknown = 0;
    if (!reader.ReadU8(deviceUnknown).IsOk()) {
        PostText(VE_LoginFailed, 58);
        return;
    }
    if (deviceUnknown) {
        handlerRegistry.Broadcast(VE_DeviceUnknown);
        return;
    }
    std::string deviceName;
    if (!ReadText(reader, twin, deviceName)) {
        PostText(VE_LoginFailed, 58);
        return;
    }
    GetAppConfig()->SetDeviceName(deviceName);
    SendSessionRequest();
}

void VoIPManager::RegisterDevice(const std::string& deviceName, const std::string& deviceKind)
{
    if (!IsConnected()) {
        PostText(VE_DeviceRegisterFailed, 50);
        return;
    }
    // A longer name would be cut by the cipher and enrol the device under a
    // name the user did not give: refused instead.
    if (!CryptoCore::NameFits(deviceName) || !CryptoCore::NameFits(deviceKind)) {
        PostText(VE_DeviceRegisterFailed, 51);
        return;
    }
    CryptoCore* crypto = GetCryptoCore();
    CmdMsg message(CmdHeader::DeviceRegistration);
    AppendLoginFields(message);
    FieldList& fields = message.GetFieldList();
    AppendBuf(fields, crypto->EncryptName(deviceName));
    AppendInt4(fields, 1);
    AppendBuf(fields, crypto->EncryptName(deviceKind));
    AppendString(fields, deviceKind);
    if (!Send(message))
        PostText(VE_DeviceRegisterFailed, 51);
}

void VoIPManager::OnRegistrationReply(CmdMsg& message, bool twin)
{
    BufReader& reader = message.GetReader();
    uint8_t registered = 0;
    if (!reader.ReadU8(registered).IsOk()) {
        PostText(VE_DeviceRegisterFailed, 59);
        return;
    }
    if (registered) {
        handlerRegistry.Broadcast(VE_DeviceRegistered);
        SendSessionRequest();
        return;
    }
    VoipEventText reason;
    if (ReadText(reader, twin, reason.text))
        handlerRegistry.Broadcast(VE_DeviceRegisterFailed, reason);
    else
        PostText(VE_DeviceRegisterFailed, 59);
}

void VoIPManager::SendSessionRequest()
{
    handlerRegistry.Broadcast(VE_SignInSending);
    if (!IsConnected()) {
        PostText(VE_SignInFailed, 52);
        return;
    }
    CryptoCore* crypto = GetCryptoCore();
    Buf publicKey;
    crypto->GetPublicKey(publicKey);
    Buf padDigest;
    if (!crypto->HashPad(padDigest) && padDigest.Resize(CryptoCore::kKeySize))
        std::memset(padDigest.GetData(), 0, CryptoCore::kKeySize);

    CmdMsg message(CmdHeader::SessionRequest);
    AppendLoginFields(message);
    FieldList& fields = message.GetFieldList();
    AppendBuf(fields, publicKey);
    AppendBool(fields, !crypto->HasPad());
    AppendBuf(fields, padDigest);
    AppendClientCaps(fields, MakeDefaultClientCaps());
    if (!Send(message))
        PostText(VE_SignInFailed, 52);
}

void VoIPManager::OnSessionReply(CmdMsg& message, bool twin)
{
    BufReader& reader = message.GetReader();
    CryptoCore* crypto = GetCryptoCore();
    uint32_t status = 0;
    // A reply cut short says nothing reliable; its fields are not used.
    const int32_t kIncomplete = 58;
    if (!reader.ReadU32(status).IsOk()) {
        PostText(VE_SignInFailed, kIncomplete);
        return;
    }
    if (status == 4) {
        VoipEventText reason;
        if (reader.ReadString(reason.text).IsOk())
            handlerRegistry.Broadcast(VE_SignInFailed, reason);
        else
            PostText(VE_SignInFailed, kIncomplete);
        return;
    }
    if (status != 0 && status != 1) {
        PostText(VE_SignInFailed, 63);
        return;
    }
    Buf newPad;
    if (status == 1)
        reader.ReadBuf(newPad);
    uint32_t padOffset = 0;
    std::string name;
    if (!reader.ReadU32(padOffset).ReadString(name).IsOk()) {
        PostText(VE_SignInFailed, kIncomplete);
        return;
    }
    {
        ScopedLock lock(contactsLock);
        ownName = name;
    }
    if (status == 1 && !crypto->SetPad(newPad)) {
        PostText(VE_SignInFailed, 61);
        return;
    }
    if (!crypto->SelectPadKey(padOffset)) {
        PostText(VE_SignInFailed, status == 1 ? 62 : 60);
        return;
    }
    ReadContactList(message, twin);
    sessionReady = true;
    SendOwedCancels();
    handlerRegistry.Broadcast(VE_ContactsChanged);
    handlerRegistry.Broadcast(VE_SignedIn);
}
