#include "tests/engine/mpfr_reference.h"

#include <mpfr.h>

namespace reference {
namespace {

constexpr mpfr_rnd_t kNearest = MPFR_RNDN;

// A 53-bit MPFR number, with the exponent range widened once for the process.
class Number {
public:
    Number() {
        static const bool widened = [] {
            mpfr_set_emin(mpfr_get_emin_min());
            mpfr_set_emax(mpfr_get_emax_max());
            return true;
        }();
        (void)widened;
        mpfr_init2(value_, 53);
        mpfr_set_zero(value_, 1);
    }
    explicit Number(double d) : Number() { mpfr_set_d(value_, d, kNearest); }
    Number(const Number&) = delete;
    Number& operator=(const Number&) = delete;
    ~Number() { mpfr_clear(value_); }

    mpfr_ptr get() { return value_; }
    double ToDouble() const { return mpfr_get_d(value_, kNearest); }

private:
    mpfr_t value_;
};

std::uint32_t Iterate(Number& cr, double ciValue, std::uint32_t limit) {
    Number ci(ciValue);
    Number zr;
    Number zi;
    mpfr_set(zr.get(), cr.get(), kNearest);
    mpfr_set(zi.get(), ci.get(), kNearest);
    Number a, b, t, p, s;
    std::uint32_t n = 0;
    for (;;) {
        mpfr_mul(a.get(), zr.get(), zr.get(), kNearest);
        mpfr_mul(b.get(), zi.get(), zi.get(), kNearest);
        mpfr_sub(t.get(), a.get(), b.get(), kNearest);
        mpfr_add(t.get(), t.get(), cr.get(), kNearest);
        mpfr_mul(p.get(), zi.get(), zr.get(), kNearest);
        mpfr_add(s.get(), p.get(), p.get(), kNearest);
        mpfr_add(s.get(), s.get(), ci.get(), kNearest);
        mpfr_set_d(zr.get(), t.ToDouble(), kNearest);
        mpfr_set_d(zi.get(), s.ToDouble(), kNearest);
        ++n;
        if (n >= limit) {
            return n;
        }
        mpfr_mul(a.get(), zi.get(), zi.get(), kNearest);
        mpfr_mul(b.get(), zr.get(), zr.get(), kNearest);
        mpfr_add(t.get(), a.get(), b.get(), kNearest);
        if (mpfr_cmp_d(t.get(), 4.0) > 0) {  // false for NaN
            return n;
        }
    }
}

}  // namespace

OrbitPoint Step(double zr, double zi, double crSignificand, std::int64_t crExponent, double ci) {
    Number r(zr), i(zi), cr(crSignificand), c(ci), a, b, p;
    mpfr_mul_2si(cr.get(), cr.get(), crExponent, kNearest);
    mpfr_mul(a.get(), r.get(), r.get(), kNearest);
    mpfr_mul(b.get(), i.get(), i.get(), kNearest);
    mpfr_sub(a.get(), a.get(), b.get(), kNearest);
    mpfr_add(a.get(), a.get(), cr.get(), kNearest);
    mpfr_mul(p.get(), i.get(), r.get(), kNearest);
    mpfr_add(p.get(), p.get(), p.get(), kNearest);
    mpfr_add(p.get(), p.get(), c.get(), kNearest);
    return {a.ToDouble(), p.ToDouble()};
}

void Row(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
         std::uint32_t limit) {
    Number x(x1), step(dx);
    for (std::int32_t k = 0; k < width; ++k) {
        out[k] = Iterate(x, y, limit);
        mpfr_add(x.get(), x.get(), step.get(), kNearest);
    }
}

double StepSize(double from, double to, std::int32_t n) {
    Number a(to), b(from), d(static_cast<double>(n));
    mpfr_sub(a.get(), a.get(), b.get(), kNearest);
    mpfr_div(a.get(), a.get(), d.get(), kNearest);
    return a.ToDouble();
}

double Mul(double x, double y) {
    Number a(x), b(y);
    mpfr_mul(a.get(), a.get(), b.get(), kNearest);
    return a.ToDouble();
}

double Add(double x, double y) {
    Number a(x), b(y);
    mpfr_add(a.get(), a.get(), b.get(), kNearest);
    return a.ToDouble();
}

double Div(double x, double y) {
    Number a(x), b(y);
    mpfr_div(a.get(), a.get(), b.get(), kNearest);
    return a.ToDouble();
}

}  // namespace reference
