// Writes the configuration file of an installation, for the run script and
// the tests that start the program itself: the program's own defaults with
// the options given in their place.
//
// Options: --host H (primary server) --backup H --udp-port N --user U
//          --password P --language N
// Or --show alone: prints "user=U password=P" as the program reads them
// from the file, and writes nothing.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/FileHandle.h"
#include "settings/AppConfig.h"

namespace {
// Why the file could not be read, as far as another look tells.
void DescribeFile()
{
    wchar_t path[MAX_PATH];
    if (!GetModuleDirPath(L"pvconf.dat", path, MAX_PATH)) return;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        fprintf(stderr, "pvconf.dat: no such file (error %lu)\n", GetLastError());
        return;
    }
    CFileHandle file;
    uint32_t size = 0;
    if (!file.OpenExisting(path))
        fprintf(stderr, "pvconf.dat: attributes %lx, cannot be opened (error %lu)\n", attributes, GetLastError());
    else if (file.GetSize(size))
        fprintf(stderr, "pvconf.dat: attributes %lx, %u bytes\n", attributes, size);
}
}  // namespace

int main(int argc, char** argv)
{
    AppConfig* config = GetAppConfig();
    if (argc == 2 && !strcmp(argv[1], "--show")) {
        if (!config->Load()) {
            fprintf(stderr, "pvconf.dat could not be read\n");
            DescribeFile();
            return 1;
        }
        printf("user=%s password=%s\n", config->GetUserName().c_str(), config->GetPassword().c_str());
        return 0;
    }
    if (!config->Load()) config->SetDefaults();
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc) {
            fprintf(stderr, "%s needs a value\n", argv[i]);
            return 2;
        }
        const char* name = argv[i];
        const char* value = argv[i + 1];
        if (!strcmp(name, "--host"))
            config->SetServerHost(value);
        else if (!strcmp(name, "--backup"))
            config->SetBackupServerHost(value);
        else if (!strcmp(name, "--udp-port"))
            config->SetPort(static_cast<uint16_t>(atoi(value)));
        else if (!strcmp(name, "--user"))
            config->SetUserName(value);
        else if (!strcmp(name, "--password"))
            config->SetPassword(value);
        else if (!strcmp(name, "--language"))
            config->SetLanguageIndex(atoi(value));
        else {
            fprintf(stderr, "usage: install_config [--host H] [--backup H] [--udp-port N] [--user U] "
                            "[--password P] [--language N] | --show\n");
            return 2;
        }
    }
    if (!config->Save()) {
        fprintf(stderr, "pvconf.dat could not be written\n");
        return 1;
    }
    return 0;
}
