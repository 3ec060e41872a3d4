#pragma once
// RAII owners for the libpq objects the engine holds.  PQfinish closes a
// connection whatever its state (a failed PQconnectdbParams still hands one
// out, which must be freed all the same); PQclear frees a result.

#include <libpq-fe.h>

#include <memory>

namespace qarn::ado::postgres {

struct ConnCloser {
    void operator()(PGconn* conn) const noexcept { PQfinish(conn); }
};
using ConnHandle = std::unique_ptr<PGconn, ConnCloser>;

struct ResultClearer {
    void operator()(PGresult* result) const noexcept { PQclear(result); }
};
using ResultHandle = std::unique_ptr<PGresult, ResultClearer>;

struct ConninfoFreer {
    void operator()(PQconninfoOption* options) const noexcept { PQconninfoFree(options); }
};
using ConninfoHandle = std::unique_ptr<PQconninfoOption, ConninfoFreer>;

struct CancelFreer {
    void operator()(PGcancel* cancel) const noexcept { PQfreeCancel(cancel); }
};
using CancelHandle = std::unique_ptr<PGcancel, CancelFreer>;

}  // namespace qarn::ado::postgres
