// Entry names between the bytes an archive stores and wide text, in one code page per archive.
#pragma once

// One row of the code page menu the application offers.
struct SVekCodePageChoice {
    const wchar_t* label;  // shown as it is
    int codePage;
};

// The code page menu, in the order it is shown.
extern const SVekCodePageChoice g_vekCodePageChoices[8];

// The menu label of a code page; an empty string for a code page the menu does not offer.
const wchar_t* GetCodePageLabel(int codePage);

// Converts NUL-terminated bytes in codePage (65002: decomposed Mac UTF-8) to a new wide string
// that the caller frees with delete[]. Null when the code page is unknown, when 65002 text is not
// UTF-8, or when text is null.
wchar_t* ToWideString(const char* text, int codePage);

// Converts NUL-terminated wide text to new bytes in codePage, characters the code page lacks
// becoming its default character; the caller frees the result with delete[]. Null when the code
// page is unknown or is 65002 (names are never written in decomposed form), or when text is null.
char* ToMultiByteString(const wchar_t* text, int codePage);
