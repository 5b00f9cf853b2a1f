// Seams for the Internet API layer's tests: they shorten the layer's own
// limits so that a test can reach them quickly. Not for production code.
#pragma once

#include <cstddef>

// Time-outs of every later exchange: connectSeconds for setting up the
// connection (TLS handshake included), idleSeconds for how long a transfer
// may go without receiving a byte. Both must be at least 1.
void SetInternetTimeoutsForTesting(long connectSeconds, long idleSeconds);

// The largest response body that a later exchange keeps; beyond it the
// exchange fails as a broken connection would, keeping the first
// maxBodyBytes bytes.
void SetInternetBodyCapForTesting(std::size_t maxBodyBytes);

// Puts the time-outs and the body cap back to the layer's defaults.
void RestoreInternetDefaultsForTesting();
