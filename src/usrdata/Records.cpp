#include "Main101Module.h"
#include "Main102Module.h"

namespace zel {

void DecodeBody101(ByteReader& r, Body101& body, bool withFactors) {
    DecodeRecord(r, body.main);
    DecodeRecord(r, body.fixedBlock);
    if (withFactors) DecodeRecord(r, body.factorPair);
}

void DecodeBody102(ByteReader& r, Body102& body) {
    DecodeRecord(r, body.main);
    DecodeRecord(r, body.fixedBlock);
    DecodeRecord(r, body.factorPair);
    DecodeRecord(r, body.wordPair);
}

} // namespace zel
