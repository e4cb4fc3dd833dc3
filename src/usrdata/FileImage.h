// Whole files: the body of each format after its signature, read from a file image and written as
// a complete file (signature included).
#pragma once

#include "usrdata/Main101Module.h"
#include "usrdata/Main102Module.h"
#include "usrdata/Signatures.h"

namespace zel {

// The body of a format 1.00 or 1.01 file.
struct Body101 {
    Main101 main;
    FixedBlock fixedBlock;
    FactorPair factorPair; // only in format 1.01
};

// The body of a format 1.02 file.
struct Body102 {
    Main102 main;
    FixedBlock fixedBlock;
    FactorPair factorPair;
    WordPair wordPair;
};

// The memory that the records read from a file of `fileSize` bytes may take: half as much again as
// the file, and some room for small files whose records are larger than their bytes. With the
// records built from them for format 1.02, a conversion then stays within four times the file's
// size (plus a constant) whatever the file holds.
std::size_t DecodingBudget(std::uint64_t fileSize);

// Reads the body of a format 1.00 or 1.01 file (`version`) from the bytes after the signature.
// Throws DamagedFile when the body ends early or holds a count it cannot honour, RecordsTooLarge
// when the records would exceed `budget`. Bytes after the last block are never read.
void DecodeBody101(ByteReader& r, FileVersion version, Body101& body, MemoryBudget* budget = nullptr);

// Reads the body of a format 1.02 file, as DecodeBody101.
void DecodeBody102(ByteReader& r, Body102& body, MemoryBudget* budget = nullptr);

// Writes a complete file of format 1.00 or 1.01 (`version`): the signature, Main101, the fixed block
// and, for 1.01, the factor pair.
void EncodeFile101(ByteSink& sink, FileVersion version, const Main101& main, const FixedBlock& fixedBlock,
                   const FactorPair& factorPair);

// Writes a complete file of format 1.02.
void EncodeFile102(ByteSink& sink, const Main102& main, const FixedBlock& fixedBlock,
                   const FactorPair& factorPair, const WordPair& wordPair);

} // namespace zel
