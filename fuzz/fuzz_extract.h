// What every fuzz target does with its bytes: open them as an archive of a given format (or of
// the detected one) and extract everything into a scratch folder, which is emptied afterwards.
#pragma once

#include <cstddef>
#include <cstdint>

// formatType 0: detect the format from the bytes and the name's extension. The password opens
// the encrypted seeds of the corpus, so that decryption is reached too.
void FuzzExtract(const uint8_t* data, size_t size, const wchar_t* name, int formatType,
                 const char* password = "secret");
