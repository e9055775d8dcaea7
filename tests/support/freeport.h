#pragma once

#include <QByteArray>

// A TCP port that nothing is bound to at the moment of the call, as decimal text, for tests
// that must store a real port number where the server later listens. It lies outside the range
// the kernel takes local ports of outgoing connections from.
QByteArray freeLoopbackPort();
