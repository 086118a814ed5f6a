#pragma once
#include <string>

// This program and others as the system knows them, so that a program holding a unit can be named
// to the user who wants it. One implementation per platform.

int ThisProcessId();

// "torvanreader-cli (process 1234)": a program by the name the system gives it, or "process 1234"
// when that name cannot be read.
std::string ProgramText(int pid);
