#pragma once
#include <string>

// The program holding an exclusive lock on the hidraw node at path, as the system's lock table
// shows it, so that a second program can tell its user whom to close: "torvanreader-cli (process
// 1234)", or empty when it cannot be known (a table that cannot be read, a process of another
// namespace).
std::string LockHolder(const std::string& path);
