// UTF-8 encoding of one code point, for the writers that encode texts straight into their output
// buffers (the .xlsx writer, the CSV export) instead of building a byte array per text.
#pragma once

// Writes the UTF-8 bytes of `u` (U+0000–U+10FFFF, not a surrogate) at `p`, which has room for four,
// and returns the end.
inline char *putUtf8(char *p, char32_t u)
{
    if (u < 0x80) {
        *p++ = char(u);
    } else if (u < 0x800) {
        *p++ = char(0xC0 | (u >> 6));
        *p++ = char(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        *p++ = char(0xE0 | (u >> 12));
        *p++ = char(0x80 | ((u >> 6) & 0x3F));
        *p++ = char(0x80 | (u & 0x3F));
    } else {
        *p++ = char(0xF0 | (u >> 18));
        *p++ = char(0x80 | ((u >> 12) & 0x3F));
        *p++ = char(0x80 | ((u >> 6) & 0x3F));
        *p++ = char(0x80 | (u & 0x3F));
    }
    return p;
}
