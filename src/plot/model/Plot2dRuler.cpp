#include "plot/model/Plot2dRuler.h"

#include <algorithm>
#include <cstdio>

#include "base/Ini.h"
#include "base/Printf.h"
#include "plot/model/PlotTypes.h"

namespace zm {

RulerTicks LayoutRulerTicks(int length) {
    RulerTicks ticks;
    if (length <= 20) {
        return ticks;
    }
    int best = 0;
    int bestRest = 0;
    for (int u = length * 10 / 100; u <= length * 15 / 100; ++u) {
        int rest = length % u;
        if (best == 0 || rest < bestRest) {
            best = u;
            bestRest = rest;
        }
    }
    int u = best;
    ticks.majorSpacing = u;
    ticks.minorSteps = (u / 10.0 > 2.0) ? 10 : (u / 5.0 > 2.0) ? 5 : 1;
    for (int i = 0; i <= length / u; ++i) {
        ticks.majors.push_back(i * u);
        for (int j = 1; j < ticks.minorSteps; ++j) {
            int at = i * u + PlotRoundInt(double(j) * u / ticks.minorSteps);
            if (at < length) {
                ticks.minors.push_back(at);
            }
        }
    }
    return ticks;
}

std::vector<RulerLabel> LayoutRulerLabels(const RulerTicks& ticks, int length, double viewMin,
                                          double viewMax, int decimals,
                                          const std::function<double(int)>& valueAt,
                                          const std::function<int(const std::string&)>& width) {
    constexpr int kGap = 3;
    std::vector<RulerLabel> all;
    const size_t count = ticks.majors.size();
    for (size_t i = 0; i < count; ++i) {
        int at = ticks.majors[i];
        double value = i == 0 ? viewMin : (i + 1 == count ? viewMax : valueAt(at));
        RulerLabel label;
        label.text = StrPrintf("%.*f", decimals, value);
        int w = width(label.text);
        if (i == 0) {
            label.start = 0;
        } else if (i + 1 == count) {
            label.start = length - w;
        } else {
            label.start = at - w / 2;
        }
        label.start = std::max(0, std::min(label.start, length - w));
        label.end = label.start + w;
        all.push_back(std::move(label));
    }
    std::vector<RulerLabel> kept;
    for (size_t i = 0; i < all.size(); ++i) {
        bool last = i + 1 == all.size();
        if (last) {
            // The maximum always shows; it pushes out neighbours that crowd it.
            while (!kept.empty() && kept.size() > 1 && kept.back().end + kGap > all[i].start) {
                kept.pop_back();
            }
            if (!kept.empty() && kept.back().end + kGap > all[i].start) {
                continue;  // only the minimum is left and they do not both fit
            }
            kept.push_back(all[i]);
        } else if (kept.empty() || kept.back().end + kGap <= all[i].start) {
            kept.push_back(all[i]);
        }
    }
    return kept;
}

std::string CPlot2dRuler::GetText() const {
    return StrPrintf("%d", on_ ? 1 : 0);
}

bool CPlot2dRuler::SetText(std::string_view text) {
    std::string copy(text);
    int v = 0;
    if (std::sscanf(copy.c_str(), "%d", &v) != 1) {
        return false;
    }
    on_ = v != 0;
    return true;
}

bool CPlot2dRuler::Save(std::string_view section, CIni* ini) const {
    CIni holder;
    return PlotProfile(ini, holder).WriteString(section, kKey, GetText());
}

bool CPlot2dRuler::Load(std::string_view section, CIni* ini) {
    CIni holder;
    return SetText(PlotProfile(ini, holder).GetString(section, kKey, GetText()));
}

}  // namespace zm
