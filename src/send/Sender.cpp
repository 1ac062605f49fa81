#include "send/Sender.h"

bool CSender::Send(const std::string& /*number*/, const std::string& /*text*/, int /*route*/)
{
    return false;
}
