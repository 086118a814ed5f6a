#pragma once
#include <string>

// Naming the program that holds a unit, so that a second program can tell its user whom to close.

// "torvanreader-cli (process 1234)": a program by the name the system gives it, or "process 1234"
// when that name cannot be read.
std::string ProgramText(int pid);

// The program holding an exclusive lock on the node at path, as the system's lock table shows it:
// empty when it cannot be known (a table that cannot be read, a process of another namespace).
std::string LockHolder(const std::string& path);
