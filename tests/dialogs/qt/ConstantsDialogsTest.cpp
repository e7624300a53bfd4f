#include <gtest/gtest.h>

#include <QTest>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

#include "dialogs/Dialogs.h"
#include "tests/dialogs/qt/DialogDriver.h"

namespace korvel {
namespace {

using testing::Click;
using testing::Field;
using testing::FieldText;
using testing::SetField;

enum class Kind { Byte, Rpm, Word };

struct FieldSpec {
    const char* id;
    int slot;  // the high byte's slot for a Word
    Kind kind;
};

struct DialogSpec {
    const char* name;
    const char* okId;
    std::function<std::unique_ptr<QDialog>(CalibrationImage&)> open;
    std::vector<FieldSpec> fields;
};

template <typename D>
std::unique_ptr<QDialog> Open(CalibrationImage& image) {
    auto dialog = std::make_unique<D>(image, nullptr);
    dialog->show();
    return dialog;
}

// clang-format off
const std::vector<DialogSpec>& Dialogs() {
    constexpr Kind B = Kind::Byte;
    static const std::vector<DialogSpec> dialogs = {
        {"RpmPresets", "1024", Open<RpmPresetsDialog>,
         {{"1017", 87, Kind::Rpm}, {"1018", 88, Kind::Rpm}, {"1019", 89, Kind::Rpm},
          {"1020", 80, Kind::Word}, {"1021", 82, Kind::Word}, {"1022", 102, Kind::Word}}},
        {"AeMis", "1032", Open<AeMisDialog>,
         {{"1025", 46, B}, {"1026", 47, B}, {"1027", 48, B}, {"1028", 49, B}, {"1029", 50, B},
          {"1030", 95, B}, {"1011", 96, B}, {"1012", 97, B}, {"1014", 98, B}, {"1013", 99, B}}},
        {"Governor", "1033", Open<GovernorDialog>,
         {{"1011", 62, B}, {"1012", 68, B}, {"1013", 74, B}, {"1014", 63, B}, {"1015", 69, B},
          {"1016", 75, B}, {"1020", 64, B}, {"1021", 70, B}, {"1022", 76, B}, {"1034", 65, B},
          {"1035", 71, B}, {"1036", 77, B}, {"1037", 66, B}, {"1038", 72, B}, {"1039", 78, B},
          {"1017", 67, B}, {"1018", 73, B}, {"1019", 79, B}}},
    };
    return dialogs;
}
// clang-format on

uint32_t Shown(const CalibrationImage& image, const FieldSpec& f) {
    switch (f.kind) {
        case Kind::Rpm:
            return image[f.slot] * 20;
        case Kind::Word:
            return image[f.slot] * 256 + image[f.slot + 1];
        case Kind::Byte:
            break;
    }
    return image[f.slot];
}

// Every slot a different byte, moved on by `shift`.
CalibrationImage Pattern(uint32_t shift) {
    CalibrationImage image;
    for (int i = 0; i < ImageSize; ++i) {
        image[i] = (static_cast<uint32_t>(i) * 7 + shift) & 0xFF;
    }
    return image;
}

TEST(ConstantsDialogs, OkWithoutEditingKeepsEveryByteValue) {
    for (const DialogSpec& spec : Dialogs()) {
        for (uint32_t shift = 0; shift < 256; ++shift) {
            CalibrationImage image = Pattern(shift);
            const CalibrationImage before = image;
            auto dialog = spec.open(image);
            for (const FieldSpec& f : spec.fields) {
                ASSERT_EQ(FieldText(*dialog, f.id), QString::number(Shown(before, f)))
                    << spec.name << " field " << f.id << " shift " << shift;
            }
            Click(*dialog, spec.okId);
            EXPECT_FALSE(dialog->isVisible());
            ASSERT_EQ(image.values, before.values) << spec.name << " shift " << shift;
        }
    }
}

TEST(ConstantsDialogs, OkWithoutEditingKeepsSixteenBitLimits) {
    std::vector<uint32_t> samples = {0, 1, 255, 256, 300, 4464, 32767, 32768, 65280, 65535};
    for (uint32_t v = 3; v < 65536; v += 997) {
        samples.push_back(v);
    }
    for (const FieldSpec& f : Dialogs()[0].fields) {
        if (f.kind != Kind::Word) {
            continue;
        }
        for (uint32_t value : samples) {
            CalibrationImage image = Pattern(value);
            image[f.slot] = value >> 8;
            image[f.slot + 1] = value & 0xFF;
            const CalibrationImage before = image;
            auto dialog = Open<RpmPresetsDialog>(image);
            ASSERT_EQ(FieldText(*dialog, f.id), QString::number(value)) << f.id;
            Click(*dialog, "1024");
            ASSERT_EQ(image.values, before.values) << f.id << " value " << value;
        }
    }
}

TEST(ConstantsDialogs, EnteredTextIsStoredAsTheFieldMapsIt) {
    enum { Rpm, AeMis, Governor };  // index into Dialogs()
    const std::tuple<int, const char*, QString, std::vector<std::pair<int, uint32_t>>> cases[] = {
        {Rpm, "1017", "3010", {{87, 150}}},
        {Rpm, "1017", "19", {{87, 0}}},
        {Rpm, "1018", "6000", {{88, 300}}},
        {Rpm, "1019", "  40rpm", {{89, 2}}},
        {Rpm, "1020", "70000", {{80, 0x11}, {81, 0x70}}},
        {Rpm, "1021", "300", {{82, 0x01}, {83, 0x2C}}},
        {Rpm, "1022", "", {{102, 0}, {103, 0}}},
        {Rpm, "1017", "abc", {{87, 0}}},
        {AeMis, "1029", "+5", {{50, 0}}},
        {AeMis, "1013", "77", {{99, 77}}},
        {AeMis, "1014", "66", {{98, 66}}},
        {Governor, "1017", "1000", {{67, 1000}}},     // no range check on raw bytes
        {Governor, "1039", "4294967296", {{78, 0}}},  // beyond 32 bits reads as 0
    };
    for (const auto& [index, id, text, slotsAfter] : cases) {
        const DialogSpec& spec = Dialogs()[static_cast<size_t>(index)];
        CalibrationImage image = Pattern(5);
        CalibrationImage expected = image;
        for (const auto& [slot, value] : slotsAfter) {
            expected[slot] = value;
        }
        auto dialog = spec.open(image);
        SetField(*dialog, id, text);
        Click(*dialog, spec.okId);
        EXPECT_EQ(image.values, expected.values)
            << spec.name << " " << id << " \"" << text.toStdString() << '"';
    }
}

TEST(ConstantsDialogs, OnlyTheirOwnOkButtonStores) {
    using Closer = std::function<void(QDialog&, QLineEdit*)>;
    const std::pair<const char*, Closer> closers[] = {
        {"Return in a field", [](QDialog&, QLineEdit* f) { QTest::keyClick(f, Qt::Key_Return); }},
        {"Enter in a field",
         [](QDialog&, QLineEdit* f) { QTest::keyClick(f, Qt::Key_Enter, Qt::KeypadModifier); }},
        {"Escape", [](QDialog&, QLineEdit* f) { QTest::keyClick(f, Qt::Key_Escape); }},
        {"Cancel", [](QDialog& d, QLineEdit*) { Click(d, "2"); }},
        {"close box", [](QDialog& d, QLineEdit*) { d.close(); }},
    };
    for (const DialogSpec& spec : Dialogs()) {
        for (const auto& [how, close] : closers) {
            CalibrationImage image = Pattern(3);
            const CalibrationImage before = image;
            auto dialog = spec.open(image);
            for (const FieldSpec& f : spec.fields) {
                SetField(*dialog, f.id, "1");
            }
            close(*dialog, Field(*dialog, spec.fields.back().id));
            EXPECT_FALSE(dialog->isVisible()) << spec.name << ", " << how;
            EXPECT_EQ(dialog->result(), QDialog::Rejected) << spec.name << ", " << how;
            EXPECT_EQ(image.values, before.values) << spec.name << ", " << how;
        }
    }
}

}  // namespace
}  // namespace korvel
