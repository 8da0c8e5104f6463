// Asks for the BMC password on a terminal, without echo, so that a person at
// a terminal needs neither a password file nor a password in the environment.
#pragma once
#include <string>

namespace PasswordPrompt {
// Writes the prompt to `out`, reads one line from `in` with echo off and
// puts the echo back. False with the reason in *error when `in` is no
// terminal or the line could not be read.
bool Ask(int in, int out, const std::string& prompt, std::string* password, std::string* error);
} // namespace PasswordPrompt
