#pragma once
#include <cstdio>

// tarnwell-web --hash-password: reads one password from in (without echo when in is a
// terminal, asking twice there), prints its Argon2id hash on out, ready to go after
// "name:rights:" in a password file. Returns the exit code: 0, or 2 with the reason on err
// (an empty password, the two typings differing).
int runHashPassword(std::FILE* in, std::FILE* out, std::FILE* err);
