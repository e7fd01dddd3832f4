#include "plot/model/CoolEditModel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/Printf.h"
#include "plot/model/PlotTypes.h"

namespace zm {

bool CCoolEditModel::SetRange(double minimum, double maximum, int decimals, double step) {
    bool exact = true;
    if (std::isnan(minimum) || std::isnan(maximum)) {
        return false;
    }
    if (minimum > maximum) {
        std::swap(minimum, maximum);
    }
    minimum_ = minimum;
    maximum_ = maximum;
    if (decimals < -3 || decimals > 5) {
        decimals = std::clamp(decimals, -3, 5);
        exact = false;
    }
    decimals_ = decimals;
    unit_ = std::pow(10.0, decimals_);
    double smallest = 1.0 / unit_;
    if (!(step > 0) || step < smallest) {
        if (step != 0) {
            exact = false;
        }
        step = smallest;
    }
    step_ = step;
    value_ = std::clamp(value_, minimum_, maximum_);
    return exact;
}

std::string CCoolEditModel::FormatValue(double v) const {
    if (decimals_ > 0) {
        return StrPrintf("%.*f", decimals_, v);
    }
    return StrPrintf("%.0f", v);
}

bool CCoolEditModel::SetValue(double x, bool notify) {
    if (std::isnan(x)) {
        x = value_;
    }
    bool inside = x >= minimum_ && x <= maximum_;
    double v = std::clamp(x, minimum_, maximum_);
    double scaled = v * unit_;
    if (std::isfinite(scaled)) {
        v = PlotRound(scaled) / unit_;
        v = std::clamp(v, minimum_, maximum_);
    }
    double previousTyped = typed_;
    value_ = v;
    Rewrite(notify && v != previousTyped);
    return inside;
}

void CCoolEditModel::Rewrite(bool notify) {
    text_ = FormatValue(value_);
    typed_ = value_;
    edited_ = false;
    if (onRewrite) {
        onRewrite(text_);
    }
    if (notify) {
        Notify();
    }
}

void CCoolEditModel::Notify() {
    if (onNotify) {
        onNotify();
    }
}

bool CCoolEditModel::Commit() {
    bool inside = SetValue(typed_, true);
    if (!inside) {
        PlotBeep();
    }
    return inside;
}

bool CCoolEditModel::StepBy(int direction, int heldModifiers) {
    if (edited_) {
        Commit();
    }
    double count = 1;
    for (int i = 0; i < heldModifiers; ++i) {
        count *= 10;
    }
    bool ok = true;
    if (direction > 0) {
        value_ += count * step_;
        if (value_ > maximum_) {
            value_ = maximum_;
            ok = false;
        }
    } else {
        value_ -= count * step_;
        if (value_ < minimum_) {
            value_ = minimum_;
            ok = false;
        }
    }
    Rewrite(true);
    if (!ok) {
        PlotBeep();
    }
    return ok;
}

bool CCoolEditModel::OnKey(Key key, int heldModifiers) {
    switch (key) {
        case Key::kEnter:
            lastAction_ = kActionEnter;
            Commit();
            Rewrite(true);
            return true;
        case Key::kEscape:
            lastAction_ = kActionEscape;
            Rewrite(true);
            return true;
        case Key::kUp:
            lastAction_ = kActionUp;
            StepBy(+1, heldModifiers);
            return true;
        case Key::kDown:
            lastAction_ = kActionDown;
            StepBy(-1, heldModifiers);
            return true;
        case Key::kBackspace:
        case Key::kDelete:
            edited_ = true;
            lastAction_ = kActionOther;
            return false;
        case Key::kOther:
            lastAction_ = kActionOther;
            return false;
    }
    return false;
}

void CCoolEditModel::OnWheel(int delta, int heldModifiers) {
    lastAction_ = kActionWheel;
    StepBy(delta > 0 ? +1 : -1, heldModifiers);
}

bool CCoolEditModel::OnChar(char32_t ch, std::string_view text, int selectionStart,
                            int selectionEnd) {
    if (ch < 0x20 || ch == 0x7F) {
        return true;
    }
    if (selectionStart > selectionEnd) {
        std::swap(selectionStart, selectionEnd);
    }
    bool accepted = true;
    if (ch == '.') {
        accepted = decimals_ > 0;
    } else if (ch == '-') {
        accepted = minimum_ < 0;
    } else {
        accepted = ch < 0x80 && allowed_.find(static_cast<char>(ch)) != std::string::npos;
    }
    bool hasMinus = text.find('-') != std::string_view::npos;
    if (accepted && hasMinus && selectionStart == 0 && selectionEnd == 0) {
        accepted = false;  // nothing may stand before the sign
    }
    if (accepted && (ch == '.' || ch == '-')) {
        for (int i = 0; i < static_cast<int>(text.size()); ++i) {
            bool selected = i >= selectionStart && i < selectionEnd;
            if (static_cast<char32_t>(static_cast<unsigned char>(text[i])) == ch && !selected) {
                accepted = false;
                break;
            }
        }
    }
    if (!accepted) {
        PlotBeep();
        return false;
    }
    lastAction_ = kActionChar;
    edited_ = true;
    return true;
}

void CCoolEditModel::OnUserText(std::string_view text) {
    std::string copy(text);
    const char* start = copy.c_str();
    while (*start == ' ' || *start == '\t') {
        ++start;
    }
    char* end = nullptr;
    double v = std::strtod(start, &end);
    typed_ = (end == start || !std::isfinite(v)) ? 0.0 : v;
    text_ = copy;
    Notify();
}

void CCoolEditModel::OnFocusLost() {
    lastAction_ = kActionFocusLost;
    Commit();
    Rewrite(true);
}

}  // namespace zm
