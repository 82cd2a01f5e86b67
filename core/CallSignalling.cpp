// Call signalling: the requests and handlers of a voice call and its path
// probing.
#include "VoIPManager.h"

bool VoIPManager::SendProbeReport(bool viaServer)
{
    CmdMsg message(CmdHeader::ProbeReport);
    AppendBool(message.GetFieldList(), viaServer);
    AppendBool(message.GetFieldList(), viaServer);
    return Send(message);
}
