// Access's aggregates that SQLite lacks: First and Last (the value of the
// first or last row of the group, Null included) and the sample and
// population deviations and variances StDev, StDevP, Var, VarP.
#include <cstdint>
#include <new>

#include "jet_sql_function_util.h"

namespace {

struct pick_state {
    sqlite3_value* value;
    bool seen;
};

void pick_step(sqlite3_context* ctx, sqlite3_value* v, bool keep_first)
{
    auto* st = static_cast<pick_state*>(sqlite3_aggregate_context(ctx, sizeof(pick_state)));
    if (st == nullptr) return sqlite3_result_error_nomem(ctx);
    if (st->seen && keep_first) return;
    if (st->value != nullptr) sqlite3_value_free(st->value);
    st->value = sqlite3_value_dup(v);
    st->seen = true;
}

void first_step(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    pick_step(ctx, argv[0], true);
}

void last_step(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    pick_step(ctx, argv[0], false);
}

void pick_final(sqlite3_context* ctx)
{
    auto* st = static_cast<pick_state*>(sqlite3_aggregate_context(ctx, 0));
    if (st == nullptr || st->value == nullptr) return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, st->value);
    sqlite3_value_free(st->value);
    st->value = nullptr;
}

// Welford's running mean and sum of squared deviations.
struct moments {
    int64_t n;
    double mean;
    double m2;
};

void moments_step(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (jet_fn_is_null(argv[0])) return;
    auto* st = static_cast<moments*>(sqlite3_aggregate_context(ctx, sizeof(moments)));
    if (st == nullptr) return sqlite3_result_error_nomem(ctx);
    double x = sqlite3_value_double(argv[0]);
    ++st->n;
    double delta = x - st->mean;
    st->mean += delta / static_cast<double>(st->n);
    st->m2 += delta * (x - st->mean);
}

void moments_final(sqlite3_context* ctx, bool sample, bool root)
{
    auto* st = static_cast<moments*>(sqlite3_aggregate_context(ctx, 0));
    int64_t n = st == nullptr ? 0 : st->n;
    int64_t denominator = sample ? n - 1 : n;
    if (denominator <= 0) return sqlite3_result_null(ctx);
    double var = st->m2 / static_cast<double>(denominator);
    sqlite3_result_double(ctx, root ? std::sqrt(var) : var);
}

void stdev_final(sqlite3_context* ctx)
{
    moments_final(ctx, true, true);
}
void stdevp_final(sqlite3_context* ctx)
{
    moments_final(ctx, false, true);
}
void var_final(sqlite3_context* ctx)
{
    moments_final(ctx, true, false);
}
void varp_final(sqlite3_context* ctx)
{
    moments_final(ctx, false, false);
}

// Sum of Currency values, exact: each value is taken to its 4 decimal
// places, as a Currency holds it, and the sum is kept in ten-thousandths.
struct currency_sum {
    int64_t total;  // ten-thousandths
    bool seen;
    bool overflow;
};

void currency_step(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (jet_fn_is_null(argv[0])) return;
    auto* st = static_cast<currency_sum*>(sqlite3_aggregate_context(ctx, sizeof(currency_sum)));
    if (st == nullptr) return sqlite3_result_error_nomem(ctx);
    double v = sqlite3_value_double(argv[0]) * 10000.0;
    st->seen = true;
    if (!(std::fabs(v) < 9.2e18) || __builtin_add_overflow(st->total, std::llround(v), &st->total)) st->overflow = true;
}

void currency_final(sqlite3_context* ctx)
{
    auto* st = static_cast<currency_sum*>(sqlite3_aggregate_context(ctx, 0));
    if (st == nullptr || !st->seen) return sqlite3_result_null(ctx);
    if (st->overflow) return jet_fn_error(ctx, jet_vb_overflow);
    // The nearest double to the exact amount; the result reader takes it
    // back to ten-thousandths exactly.
    sqlite3_result_double(ctx,
                          static_cast<double>(st->total / 10000) + static_cast<double>(st->total % 10000) / 10000.0);
}

}  // namespace

void jet_sql_register_aggregates(sqlite3* db)
{
    const int flags = SQLITE_UTF8;
    sqlite3_create_function(db, "jet_sumcur", 1, flags, nullptr, nullptr, currency_step, currency_final);
    sqlite3_create_function(db, "jet_first", 1, flags, nullptr, nullptr, first_step, pick_final);
    sqlite3_create_function(db, "jet_last", 1, flags, nullptr, nullptr, last_step, pick_final);
    sqlite3_create_function(db, "jet_stdev", 1, flags, nullptr, nullptr, moments_step, stdev_final);
    sqlite3_create_function(db, "jet_stdevp", 1, flags, nullptr, nullptr, moments_step, stdevp_final);
    sqlite3_create_function(db, "jet_var", 1, flags, nullptr, nullptr, moments_step, var_final);
    sqlite3_create_function(db, "jet_varp", 1, flags, nullptr, nullptr, moments_step, varp_final);
}
