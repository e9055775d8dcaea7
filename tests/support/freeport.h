#pragma once

#include <QByteArray>

// A TCP port on 127.0.0.1 that nothing listens on at the moment of the call, as decimal text,
// for tests that must store a real port number where the server later listens.
QByteArray freeLoopbackPort();
