#include "ui/NumberedFailure.h"

#include <exception>
#include <new>

namespace qarn {

NumberedError CurrentNumberedError() {
    if (!std::current_exception()) return {};
    try {
        throw;
    } catch (const NumberedFailure& e) {
        return {e.Number(), e.what()};
    } catch (const std::bad_alloc&) {
        return {7, "Out of memory"};
    } catch (const std::exception& e) {
        return {5, e.what()};
    } catch (...) {
        return {440, "Automation error"};
    }
}

}  // namespace qarn
