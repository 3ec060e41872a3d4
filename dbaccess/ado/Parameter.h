#pragma once
// Command parameters: created by CreateParameter and appended, or filled
// from a stored procedure's definition by Refresh.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ado/DataTypes.h"
#include "ado/Engine.h"
#include "ado/Variant.h"

namespace qarn::ado {

class Parameter {
public:
    Parameter(std::string name, int32_t type, int32_t direction, int64_t size, Variant value)
        : name_(std::move(name)), type_(type), direction_(direction), size_(size), value_(std::move(value)) {}

    const std::string& Name() const { return name_; }
    int32_t Type() const { return type_; }
    int32_t Direction() const { return direction_; }
    int64_t Size() const { return size_; }
    const Variant& Value() const { return value_; }
    void SetValue(const Variant& v) { value_ = v; }

private:
    std::string name_;
    int32_t type_;
    int32_t direction_;
    int64_t size_;
    Variant value_;
};

class Parameters {
public:
    size_t Count() const { return items_.size(); }
    // By name (any case) or by position from 0; raises 3265 when missing.
    Parameter& Item(const std::string& name);
    Parameter& Item(size_t index);
    void Append(std::shared_ptr<Parameter> p);
    // Asks the provider for the procedure's parameters (return value first).
    void Refresh();
    void Clear() { items_.clear(); }

    const std::vector<std::shared_ptr<Parameter>>& Items() const { return items_; }
    // Set by the owning command: what Refresh asks the provider.
    void SetRefresher(std::function<std::vector<BoundParameter>()> f) { refresher_ = std::move(f); }

private:
    std::vector<std::shared_ptr<Parameter>> items_;
    std::function<std::vector<BoundParameter>()> refresher_;
};

}  // namespace qarn::ado
