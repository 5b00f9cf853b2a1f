// A peer on 127.0.0.1 for the response-handling fuzz target: it answers each
// connection with the bytes it was last given, once, then closes. One thread
// serves the connections one after another, which is all a synchronous
// client needs.
#pragma once

#include <string>
#include <string_view>

// Starts the peer at the first call; the port it listens on, or 0 when no
// socket could be opened.
int LoopbackPeerPort();

// The bytes the next connections get in answer to their request.
void SetLoopbackAnswer(std::string_view bytes);
