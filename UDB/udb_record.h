// One row: an ordered sequence of owned fields, one per column in schema
// order.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

class udb_field;

class udb_record {
public:
    udb_record();
    virtual ~udb_record();
    udb_record(const udb_record&) = delete;
    udb_record& operator=(const udb_record&) = delete;
    udb_record(udb_record&&) noexcept;
    udb_record& operator=(udb_record&&) noexcept;

    void push_back(std::unique_ptr<udb_field> field);
    void clear();

    size_t size() const { return fields_.size(); }
    bool empty() const { return fields_.empty(); }

    // Position past the end: std::out_of_range("invalid vector<T> subscript").
    udb_field& operator[](size_t pos) const;
    udb_field& at(size_t pos) const { return (*this)[pos]; }

private:
    std::vector<std::unique_ptr<udb_field>> fields_;
};
