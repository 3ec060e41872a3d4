#include "ado/Parameter.h"

#include "ado/AdoError.h"
#include "ado/ConnectionString.h"

namespace qarn::ado {

Parameter& Parameters::Item(const std::string& name) {
    for (auto& p : items_)
        if (EqualsNoCase(p->Name(), name)) return *p;
    throw AdoError(err::ItemNotFound);
}

Parameter& Parameters::Item(size_t index) {
    if (index >= items_.size()) throw AdoError(err::ItemNotFound);
    return *items_[index];
}

void Parameters::Append(std::shared_ptr<Parameter> p) {
    if (!p) throw AdoError(err::InvalidParamInfo);
    items_.push_back(std::move(p));
}

void Parameters::Refresh() {
    if (!refresher_) throw AdoError(err::InvalidConnection);
    std::vector<std::shared_ptr<Parameter>> fresh;
    for (auto& b : refresher_())
        fresh.push_back(std::make_shared<Parameter>(b.name, b.type, b.direction, b.size, b.value));
    items_ = std::move(fresh);
}

}  // namespace qarn::ado
