#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plot/model/CoolEditModel.h"
#include "plot/model/PlotTypes.h"

namespace zm {
namespace {

struct CoolEditModel : ::testing::Test {
    CCoolEditModel edit;
    std::vector<int> notified;  // last action at each parent notification
    int beeps = 0;

    CoolEditModel() {
        edit.onNotify = [this] { notified.push_back(edit.GetLastAction()); };
        SetPlotBeep([this] { ++beeps; });
    }
    ~CoolEditModel() override { SetPlotBeep(nullptr); }

    // Types one character the way the widget does: ask, then hand over the new text.
    bool Type(char c) {
        std::string text = edit.Text();
        if (!edit.OnChar(static_cast<char32_t>(c), text, static_cast<int>(text.size()),
                         static_cast<int>(text.size()))) {
            return false;
        }
        edit.OnUserText(text + c);
        return true;
    }
};

TEST_F(CoolEditModel, RangeTable) {
    struct Case {
        double minimum, maximum;
        int decimals;
        double step;
        bool exact;
        int eDecimals;
        double eStep;
    } cases[] = {
        {-10, 1000, 2, 0, true, 2, 0.01}, {0, 100, 7, 0, false, 5, 0.00001},
        {0, 100, 1, 0.01, false, 1, 0.1},  // below one unit of the last decimal
        {0, 100, 1, 5, true, 1, 5},       {0, 10000, -2, 0, true, -2, 100},
        {100, 0, -4, 0, false, -3, 1000},
    };
    for (const Case& c : cases) {
        CCoolEditModel e;
        EXPECT_EQ(e.SetRange(c.minimum, c.maximum, c.decimals, c.step), c.exact) << c.decimals;
        EXPECT_EQ(e.Decimals(), c.eDecimals);
        EXPECT_DOUBLE_EQ(e.Step(), c.eStep) << c.decimals;
        EXPECT_LE(e.Minimum(), e.Maximum());
    }
}

TEST_F(CoolEditModel, SetValueClampsRoundsAndFormats) {
    struct Case {
        int decimals;
        double x;
        bool inside;
        const char* text;
    } cases[] = {
        {1, 3.14159, true, "3.1"}, {1, 2000, false, "1000.0"}, {1, -11, false, "-10.0"},
        {0, 2.5, true, "2"},  // half goes down
        {0, 2.51, true, "3"},      {-2, 349, true, "300"},     {3, 1.0005, true, "1.000"},
    };
    for (const Case& c : cases) {
        CCoolEditModel e;
        e.SetRange(-10, 1000, c.decimals, 0);
        EXPECT_EQ(e.SetValue(c.x, false), c.inside) << c.x;
        EXPECT_EQ(e.Text(), c.text) << c.x;
    }
}

TEST_F(CoolEditModel, SetValueNotifiesOnlyWhenAskedAndChanged) {
    edit.SetRange(0, 100, 0, 0);
    edit.SetValue(5, false);
    EXPECT_TRUE(notified.empty());
    edit.SetValue(5, true);
    EXPECT_TRUE(notified.empty());  // same as the typed value
    edit.SetValue(6, true);
    EXPECT_EQ(notified.size(), 1u);
}

TEST_F(CoolEditModel, StepsMultiplyByTenPerHeldModifier) {
    edit.SetRange(-1e9, 1e9, 0, 100);
    edit.SetValue(0, false);
    struct Case {
        CCoolEditModel::Key key;
        int modifiers;
        double expect;
    } cases[] = {
        {CCoolEditModel::Key::kUp, 0, 100},
        {CCoolEditModel::Key::kUp, 2, 10100},  // Shift and Ctrl: 100 steps
        {CCoolEditModel::Key::kDown, 1, 9100},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(edit.OnKey(c.key, c.modifiers));
        EXPECT_DOUBLE_EQ(edit.GetValue(), c.expect);
    }
    EXPECT_EQ(notified, (std::vector<int>{38, 38, 40}));
    edit.OnWheel(120, 0);
    EXPECT_DOUBLE_EQ(edit.GetValue(), 9200);
    EXPECT_EQ(edit.GetLastAction(), 522);
    edit.OnWheel(-120, 0);
    EXPECT_DOUBLE_EQ(edit.GetValue(), 9100);
}

TEST_F(CoolEditModel, AStepBeyondTheRangeStopsAtItsEndWithABeep) {
    edit.SetRange(0, 150, 0, 100);
    edit.SetValue(100, false);
    EXPECT_FALSE(edit.StepBy(+1, 0));
    EXPECT_DOUBLE_EQ(edit.GetValue(), 150);
    EXPECT_EQ(beeps, 1);
    EXPECT_FALSE(edit.StepBy(-1, 2));
    EXPECT_DOUBLE_EQ(edit.GetValue(), 0);
}

TEST_F(CoolEditModel, ACharacterTable) {
    struct Case {
        const char* name;
        double minimum;
        int decimals;
        const char* text;
        int selStart, selEnd;
        char ch;
        bool accepted;
    } cases[] = {
        {"digit", 0, 1, "12", 2, 2, '3', true},
        {"letter", 0, 1, "12", 2, 2, 'a', false},
        {"minus with minimum 0", 0, 1, "12", 0, 0, '-', false},
        {"minus with negative minimum", -10, 1, "12", 0, 0, '-', true},
        {"second minus", -10, 1, "-12", 3, 3, '-', false},
        {"digit before the sign", -10, 1, "-12", 0, 0, '1', false},
        {"over a selected sign", -10, 1, "-12", 0, 1, '5', true},
        {"point without decimals", 0, 0, "12", 2, 2, '.', false},
        {"second point", 0, 2, "1.2", 3, 3, '.', false},
        {"point replacing the selected one", 0, 2, "1.2", 1, 2, '.', true},
        {"control character", 0, 0, "12", 2, 2, '\b', true},
    };
    for (const Case& c : cases) {
        CCoolEditModel e;
        e.SetRange(c.minimum, 1000, c.decimals, 0);
        EXPECT_EQ(e.OnChar(static_cast<char32_t>(c.ch), c.text, c.selStart, c.selEnd), c.accepted)
            << c.name;
        if (c.accepted && c.ch >= 0x20) {
            EXPECT_EQ(e.GetLastAction(), 258) << c.name;
            EXPECT_TRUE(e.IsEdited()) << c.name;
        }
    }
}

TEST_F(CoolEditModel, EnterCommitsEscapeRevertsFocusLossCommits) {
    edit.SetRange(-10, 1000, 1, 0);
    edit.SetValue(5, false);
    edit.OnKey(CCoolEditModel::Key::kOther, 0);
    ASSERT_TRUE(Type('7'));
    EXPECT_DOUBLE_EQ(edit.TypedValue(), 5.07);  // "5.07": the start of the text
    EXPECT_DOUBLE_EQ(edit.GetValue(), 5);
    EXPECT_TRUE(edit.OnKey(CCoolEditModel::Key::kEscape, 0));
    EXPECT_EQ(edit.Text(), "5.0");
    EXPECT_EQ(notified.back(), 27);
    EXPECT_FALSE(edit.IsEdited());

    edit.OnUserText("  42.26xyz");
    EXPECT_TRUE(edit.OnKey(CCoolEditModel::Key::kEnter, 0));
    EXPECT_DOUBLE_EQ(edit.GetValue(), 42.3);
    EXPECT_EQ(edit.Text(), "42.3");
    EXPECT_EQ(notified.back(), 13);

    edit.OnUserText("5000");
    edit.OnFocusLost();
    EXPECT_DOUBLE_EQ(edit.GetValue(), 1000);
    EXPECT_EQ(edit.GetLastAction(), 8);
    EXPECT_EQ(beeps, 1);  // the typed value lay outside the range

    edit.OnUserText("abc");
    EXPECT_DOUBLE_EQ(edit.TypedValue(), 0);
}

TEST_F(CoolEditModel, AStepAfterTypingCommitsTheTypedValueFirst) {
    edit.SetRange(0, 1000, 0, 10);
    edit.SetValue(5, false);
    edit.OnKey(CCoolEditModel::Key::kBackspace, 0);
    EXPECT_TRUE(edit.IsEdited());
    EXPECT_EQ(edit.GetLastAction(), 0);
    edit.OnUserText("300");
    edit.OnKey(CCoolEditModel::Key::kUp, 0);
    EXPECT_DOUBLE_EQ(edit.GetValue(), 310);
}

}  // namespace
}  // namespace zm
