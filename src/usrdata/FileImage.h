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

// The memory that the records of a conversion of a file of `fileSize` bytes may take: the records
// read from it and the 1.02 records built from them, together. Four times the file's size and some
// room for small files, so that a conversion stays within four times the file's size and a constant
// whatever the file holds. Every valid file whose records can be held in their compact form fits:
// a list of empty strings takes 8 bytes a string for its 2 bytes, the anchor records about two and a
// half times their size with what is built from them.
std::size_t ConversionBudget(std::uint64_t fileSize);

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

// Whether the `r` holds exactly the complete file that EncodeFile101 writes for these records (and
// nothing after it). Compares as it reads, without a copy of the records.
bool EncodesFile101(ByteReader& r, FileVersion version, const Main101& main, const FixedBlock& fixedBlock,
                    const FactorPair& factorPair);
// The same for the file that EncodeFile102 writes.
bool EncodesFile102(ByteReader& r, const Main102& main, const FixedBlock& fixedBlock,
                    const FactorPair& factorPair, const WordPair& wordPair);

} // namespace zel
