#pragma once
// The database password of a Jet or ACE file, read from its header page.
//
// Jet keeps the password in the header page (the first page of the file), in the part of it that is
// masked with a fixed RC4 stream: 20 bytes at 0x42 in the file's code page (Jet 3), or 20 UTF-16
// characters at 0x42 further masked with the file's creation date (Jet 4 and ACE). The password is a
// check made by the engine, not an encryption of the pages. A file whose pages are encrypted (Jet 4's
// "encode database", any ACE file given a password by Access 2007 or later) is another matter: its
// pages cannot be read without the key, and it says so by a non-zero database key at 0x3e.

#include <cstddef>
#include <string>

namespace ledrana::dao::jet {

struct DatabasePassword {
    std::string password;   // UTF-8; "" when the file has none
    bool encrypted = false; // the pages are encrypted: the file cannot be read (the caller refuses it, 3031)
};

// Decodes the password held in header, the first page of the file (2048 bytes for Jet 3, 4096 for Jet 4
// and ACE; only the first 152 bytes are read). A buffer that is too short or does not start as a Jet or
// ACE header gives an empty result: recognising the file is the caller's job.
DatabasePassword DecodeDatabasePassword(const unsigned char* header, std::size_t size);

// Removes (or puts back) the fixed RC4 stream that masks the header page from 0x18 on: `data` is the
// masked part, from its start.
void UnmaskHeader(unsigned char* data, std::size_t length);

} // namespace ledrana::dao::jet
