#pragma once

#include <string>

// The route dispatcher: the one way out for every message. Until the gateways and the phone are
// wired in, no route can deliver, so every send fails and the caller queues the message.
class CSender
{
public:
    bool Send(const std::string& number, const std::string& text, int route);
};
