// The columns of a table: an ordered sequence of field type descriptors.
//
// A schema either owns its descriptors (and deletes them when it goes) or
// borrows them from an owner that outlives it; the flag is fixed at
// construction. Name searches compare by full Unicode case folding.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

class t_ftd;

class udb_schema {
public:
    using const_iterator = std::vector<t_ftd*>::const_iterator;

    explicit udb_schema(bool owns_descriptors = true);
    virtual ~udb_schema();
    // A copy of an owning schema owns copies of the descriptors; a copy of
    // a borrowing schema borrows the same ones.
    udb_schema(const udb_schema& other);
    udb_schema& operator=(const udb_schema& other);
    udb_schema(udb_schema&& other) noexcept;
    udb_schema& operator=(udb_schema&& other) noexcept;

    bool owns_descriptors() const { return owns_; }

    // An owning schema takes `ftd` over; a borrowing one refers to it.
    void push_back(t_ftd* ftd);
    // Only for an owning schema: a borrowing one cannot keep the object.
    void push_back(std::unique_ptr<t_ftd> ftd);
    void clear();

    size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }

    // Position past the end: std::out_of_range("invalid vector<T> subscript").
    t_ftd& operator[](size_t pos) const;
    t_ftd& at(size_t pos) const { return (*this)[pos]; }

    bool find_field(std::u16string_view name) const;
    // Position (0-based) of the column `name`, or -1.
    int get_field_idx(std::u16string_view name) const;
    // The column `name`; a missing one is an internal error.
    t_ftd& get_field(std::u16string_view name);
    const t_ftd& get_field(std::u16string_view name) const;

private:
    const t_ftd* search(std::u16string_view name) const;
    void release();

    std::vector<t_ftd*> items_;
    bool owns_;
};
