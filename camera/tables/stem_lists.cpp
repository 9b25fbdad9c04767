// The parameter stems each camera family keeps, in registration order.
#include "camera/tables/stem_lists.h"

#include <array>
#include <utility>

namespace kelpax {
namespace {

// Written as the family tables are: a stem, and its flag byte in brackets when it is not 1.
// Kr cameras share the Kh list.
constexpr std::pair<Series, std::string_view> kFamilyLists[] = {
    {Series::Kx, "rm, bf, et, cm, tm, ts, fn, es, tp, so, ag 1, ag 2, ao 1, ao 2, db, ti, dc, ls, "
                 "hf, ii, ha (2), va (2), ci, fc, fo, fi, ar"},
    {Series::Kh, "bf, et, cm, tm, ts, fn, es, tp, so, ag 1, ag 2, ao 1, ao 2, db, ti, dc, ls, hf, "
                 "ii, ha (2), va (2), ci, fc, fo, fi, ar, sp, ag, ao"},
    {Series::Ka, "cl, tm, ts, es, tp, bv, bh, db, ti, dc, ci, fc, loi, tdl, fm, uov, los, fds, "
                 "g (33), et (33), bl (33), fr (33), iw, ox, ih, oy, tdu, tts, tta, tt, hf, wx, "
                 "wy, ww, rm, bf, et, cm, so, ag, ao, go 2 (65), go 3 (65), go 4 (65), oo 1 (65), "
                 "oo 2 (65), oo 3 (65), oo 4 (65), ls, ii, ha (2), va (2), fo, fi, wh"},
    {Series::Kn, "rm, bf, et, cm, tm, ts, fn, es, tp, so, ag, go 2 (65), oo 1 (65), oo 2 (65), "
                 "ao, db, ti, dc, ls, hf, ii, ha (2), va (2), ci, fc, fo, fi, ar, sp, ps, cl, bv, "
                 "bh, loi, tdl, pf, fm, uov, los, g (33), et (33), bl (33), fr (33), iw, ox, ih, "
                 "oy, tdu, tts, tta, tt, go 3 (65), go 4 (65), oo 3 (65), oo 4 (65)"},
    {Series::KnP, "rm, bf, et, cm, tm, ts, es, tp, so, ag, ao, go 2 (65), go 3 (65), go 4 (65), "
                  "oo 1 (65), oo 2 (65), oo 3 (65), oo 4 (65), db, ti, dc, ls, hf, ii, ha (2), "
                  "va (2), ci, fc, fo, fi, sp, tt (33), tc, ft, sm, np x, np y, me, sr, rp"},
    {Series::Ki, "rm, bf, et, cm, tm, ts, fn, es, tp, so, ag, go 2 (65), oo 1 (65), oo 2 (65), "
                 "ao, db, ti, dc, ls, hf, ii, ha (2), va (2), ci, fc, fo, fi, ar, sp, go 3 (65), "
                 "go 4 (65), oo 3 (65), oo 4 (65), cl, ox, oy, iw, ih, sc, tg, em, ta, lni, tdl, "
                 "pf (65), uov, lnc, lnm (65), dg (33), et (33), bl (33), fr (33), bh (65), "
                 "bv (65), tdu, tts, tta, wx (17), wy (17), ww (17), wh (17), ccs, fds, ptm (65), "
                 "fm, ddc, cpo (33), hpo (33), sqm, sqcm, sqss, sqsc, dbt (33), ast (65), "
                 "tt (33), tc, fag (65)"},
    // The Ko cameras' look-up table select and read-out reversals take one value, as the
    // view pages send them; their trigger pages' frame count and asynchronous reset are kept
    // too (registered last, so the older setting files keep their order).
    {Series::Ko, "rm, et, tm, ts, es, ag, ao, tp, ti, db, rs, ci, sp, ha (2), va (2), rx, "
                 "ry, ls, fc, fo, cl, dc, bf, ox, oy, iw, ih, so, sc, ta, bv, bh, lni, "
                 "tdl, fm, uov, lnc, nfe, hsm, fds, dg (33), et (33), dbl (33), fr (33), tdu, "
                 "tts, tta, tt, hf, wx, wy, ww, wh, em, pf, lnm, bl (33), st, tg, pf (65), "
                 "lnm (65), bh (65), bv (65), wx (17), wy (17), ww (17), wh (17), ccs, fpwm, ddc, "
                 "cpo (33), hpo (33), sqm, sqcm, sqss, sqsc, dbt (33), dbl, loi, los, bm, fn, ar, "
                 "fag (65)"},
    {Series::Kw, "cl, tm, ts, em, tp, db, ti, dc, ci, fc, lni, tdl, pf, uov, lnc, lnm, dg (33), "
                 "et (33), bl (33), fr (33), bh, bv, iw, ox, ih, oy, tdu, tts, tta, hf, wx, wy, "
                 "ww, wh"},
    {Series::Ku, "ti, db, cl, tm, es, tp, ts, im, af, id, st (65), et (33), lr (33), dg (33), do, "
                 "io, iw, pt, hf, ls, ci, hd"},
    {Series::Ke, "db, dbl, et (33), lr (33), dg (33), ti, cl, tm, ta, ts, ag, hf, ci, om, bh, bv, "
                 "iw, ox, sd, td, pi, rm, sm, sp, pt, rr (33), sr (33), to (33), prnu, rf, pe"},
    {Series::Ky, "et, cm, tm, ts, es, tp, so, ag, ao, go 2 (65), go 3 (65), go 4 (65), oo 1 (65), "
                 "oo 2 (65), oo 3 (65), oo 4 (65), db, ti, dc, ls, hf, ci, fc, fo, fi, ps, ea, "
                 "el, eu, tl, at, fa, fp, ga, gl (33), gu (33), pa, pl, pu, ex, ew, ey, eh, fx, "
                 "fw, fy, fh, wx, ww, wy, wh, rd, li, ss, uo, pp, pw, fm, tt, de, ol, ks, mc, bh, "
                 "bv, iw, ox, ih"},
};

struct ParsedLists {
  std::array<std::vector<StemRegistration>, 12> bySeries;
};

const ParsedLists& parsedLists() {
  static const ParsedLists lists = [] {
    ParsedLists parsed;
    for (const auto& [series, list] : kFamilyLists)
      parsed.bySeries[static_cast<size_t>(series)] = parseStemList(list);
    return parsed;
  }();
  return lists;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  return text;
}

} // namespace

std::vector<StemRegistration> parseStemList(std::string_view list) {
  std::vector<StemRegistration> stems;
  while (!list.empty()) {
    size_t comma = list.find(',');
    std::string_view item = trimmed(list.substr(0, comma));
    list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
    if (item.empty())
      continue;
    StemRegistration reg;
    size_t open = item.find('(');
    if (open != std::string_view::npos) {
      // The flag byte: a number above 255 cannot be one, and the registration is left out
      // rather than stored with some of its bits.
      int flags = 0;
      for (size_t i = open + 1; i < item.size() && item[i] >= '0' && item[i] <= '9'; ++i) {
        flags = flags * 10 + (item[i] - '0');
        if (flags > 0xff)
          break;
      }
      if (flags > 0xff)
        continue;
      reg.flags = static_cast<uint8_t>(flags);
      item = trimmed(item.substr(0, open));
    }
    // Flags without a stem ("(33)") register nothing.
    if (item.empty())
      continue;
    reg.stem = item;
    stems.push_back(reg);
  }
  return stems;
}

std::span<const StemRegistration> stemsForSeries(Series series) {
  return parsedLists().bySeries[static_cast<size_t>(series)];
}

std::vector<StemRegistration> stemsForModel(const ModelDescriptor& model) {
  const std::span<const StemRegistration> family = stemsForSeries(model.series);
  std::vector<StemRegistration> stems(family.begin(), family.end());
  // Registered after the family's own, so setting files of the family keep their order.
  std::string_view extra;
  if (model.is(Series::Kn, "47M"))
    extra = "wx, wy, ww, wh"; // the Ka 47M page's region window, as the Ka cameras keep it
  else if (model.is(Series::Ko, "101M") || model.is(Series::Ko, "151M"))
    extra = "ast (65)"; // acquisition running, read by the page the Ki 101M shares
  for (const StemRegistration& reg : parseStemList(extra))
    stems.push_back(reg);
  return stems;
}

} // namespace kelpax
