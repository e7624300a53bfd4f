#include "editors/ByteNames.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "editors/EditorGrid.h"

namespace korvel {

namespace {

// How the editors and dialogs show a byte: printf of RawToUnits, or a
// plain number times `factor`.
struct Shown {
    const char* format = nullptr;
    UnitScale scale{};
    uint32_t factor = 1;
};
using ImageShown = std::array<Shown, ImageSize>;

class Namer {
public:
    explicit Namer(const CalibrationImage& image) : image_(image) {}

    const ImageShown& Units() const { return shown_; }

    ImageByteNames Run() {
        NameConstants();
        NamePointerTable();
        for (const TableMap& table : Layout().tables) {
            NameRowList(table);
        }
        for (const CurveMap& curve : Layout().curves) {
            NameCurve(curve);
        }
        NameOpaqueRegions();
        NameRest();
        return names_;
    }

private:
    void Set(int index, std::string name) {
        if (CalibrationImage::InRange(index) && names_[static_cast<size_t>(index)].empty()) {
            names_[static_cast<size_t>(index)] = std::move(name);
        }
    }
    void Show(int index, UnitsFormat units) {
        if (CalibrationImage::InRange(index) && !shown_[static_cast<size_t>(index)].format) {
            shown_[static_cast<size_t>(index)] = {units.format, units.scale, 1};
        }
    }
    void Set16(int high, const std::string& name) {
        Set(high, name + " (high byte)");
        Set(high + 1, name + " (low byte)");
    }
    // The target of a pointer slot, or -1 (and the image counts as damaged)
    // when it names no index.
    int Target(int slot) {
        const int target = PointerTarget(image_, slot);
        if (!CalibrationImage::InRange(target)) {
            damaged_ = true;
            return -1;
        }
        return target;
    }

    void NameConstants() {
        for (const ConstantMap& c : Layout().constants) {
            const std::string name = std::string(c.group) + ", " + c.name;
            if (c.form == ConstantForm::Word16) {
                Set16(c.slot, name);
            } else {
                Set(c.slot, name);
            }
            if (c.form == ConstantForm::RpmPreset) {
                shown_[static_cast<size_t>(c.slot)].factor = 20;  // engine speed in steps of 20
            }
        }
    }

    // Pointer slots from 3 up to the first whose high byte is 0.
    void NamePointerTable() {
        for (int k = VeTableSlot; k + 1 < FirstConstantIndex; k += 2) {
            if (image_[k] == 0) {
                Set(k, "pointer table, end");
                return;
            }
            slots_.push_back(k);
            Set(k, "pointer table, slot " + std::to_string(k));
            Set(k + 1, "pointer table, slot " + std::to_string(k) + " (low byte)");
        }
        damaged_ = true;  // no end mark before the constants
    }

    static std::string Trimmed(UnitsFormat units, uint32_t raw) {
        return TrimmedUnits(units.format, raw, units.scale);
    }

    // Row keys and MAP keys as the table editors show them.
    void NameRowList(const TableMap& table) {
        if (Target(table.pointerSlot) < 0) {
            return;
        }
        const RowListWalk walk = WalkRowList(image_, table.pointerSlot, table.entrySize);
        damaged_ = damaged_ || walk.broken;
        const std::string title = table.name;
        for (const TableRow& row : walk.rows) {
            const std::string rpm = "RPM " + Trimmed(table.rowKey, image_[row.start]);
            Set(row.start, title + ", " + rpm + " (row key)");
            Set(row.start + 1, title + ", " + rpm + " (row link)");
            Set(row.start + 2, title + ", " + rpm + " (row link)");
            for (int e : row.entries) {
                const std::string cell = ", MAP " + Trimmed(table.mapKey, image_[e]) + ", " + rpm;
                Set(e, title + cell + " (MAP key)");
                Set(e + 1, title + cell);
                Show(e, table.mapKey);
                Show(e + 1, table.value);
                if (table.lpName != nullptr) {
                    Set(e + 2, table.lpName + cell);
                    Show(e + 2, table.value);
                }
            }
        }
    }

    void NameCurve(const CurveMap& c) {
        if (Target(c.pointerSlot) < 0) {
            return;
        }
        const CurveWalk walk = WalkCurve(image_, c.pointerSlot, c.pointSize);
        damaged_ = damaged_ || walk.broken;
        for (size_t p = 0; p < walk.points.size(); ++p) {
            const int x = walk.points[p];
            const std::string point = ", point " + std::to_string(p + 1);
            Set(x, c.name + point + " x");
            Set(x + 1, c.name + point + " y");
            Show(x, c.x);
            Show(x + 1, c.y);
            if (c.lpName != nullptr) {
                Set(x + 2, c.lpName + point + " y");
                Show(x + 2, c.y);
            }
        }
        if (!walk.broken && !walk.points.empty()) {
            Set(walk.points.back() + c.pointSize, std::string(c.name) + ", end");
        }
    }

    // Slot 17's region, the table of slot 19 (whose entries no editor reads)
    // and any further regions reach from their target to the next target,
    // or to the free space behind the last one.
    void NameOpaqueRegions() {
        const int free = FreeSpaceStart();
        for (size_t s = 0; s < slots_.size(); ++s) {
            const int slot = slots_[s];
            if (slot < UnnamedRegionSlot) {
                continue;
            }
            const int start = Target(slot);
            if (start < 0) {
                continue;
            }
            int end = free;
            if (s + 1 < slots_.size()) {
                const int next = PointerTarget(image_, slots_[s + 1]);
                end = CalibrationImage::InRange(next) ? next : free;
            }
            const std::string name = slot == SecondRowListSlot
                                         ? "table of slot 19"
                                         : "region of slot " + std::to_string(slot);
            if (slot == SecondRowListSlot) {
                NameRowLinks(start, end);
            }
            for (int i = start; i < end; ++i) {
                Set(i, name);
            }
        }
    }

    // The row chain of slot 19's table, followed inside [start, end) only.
    void NameRowLinks(int start, int end) {
        std::vector<bool> seen(ImageSize, false);
        for (int row = start; row >= start && row + 2 < end && !seen[size_t(row)];) {
            seen[size_t(row)] = true;
            Set(row, "table of slot 19 (row key)");
            Set(row + 1, "table of slot 19 (row link)");
            Set(row + 2, "table of slot 19 (row link)");
            if (image_[row + 1] == 0) {
                return;
            }
            row = static_cast<int>(Read16(image_, row + 1)) - static_cast<int>(ImageBaseAddress);
        }
    }

    // The first index of the run of free bytes that ends the image.
    int FreeSpaceStart() const {
        int free = ImageSize;
        while (free > 0 && image_[free - 1] == FreeByte) {
            --free;
        }
        return free;
    }

    void NameRest() {
        const int free = FreeSpaceStart();
        for (int i = 0; i < ImageSize; ++i) {
            Set(i, i >= free ? "free space" : damaged_ ? "unknown" : "not interpreted");
        }
    }

    const CalibrationImage& image_;
    ImageByteNames names_;
    ImageShown shown_{};
    std::vector<int> slots_;  // the pointer slots in use, ascending
    bool damaged_ = false;
};

}  // namespace

ImageByteNames NameImageBytes(const CalibrationImage& image) {
    return Namer(image).Run();
}

std::string NameImageByte(const CalibrationImage& image, int index) {
    if (!CalibrationImage::InRange(index)) {
        return "unknown";
    }
    return NameImageBytes(image)[static_cast<size_t>(index)];
}

std::string ShowImageValue(const CalibrationImage& image, int index, uint32_t value) {
    Namer namer(image);
    namer.Run();
    const Shown shown =
        CalibrationImage::InRange(index) ? namer.Units()[static_cast<size_t>(index)] : Shown{};
    if (shown.format == nullptr) {
        return std::to_string(static_cast<uint64_t>(value) * shown.factor);
    }
    return TrimmedUnits(shown.format, value, shown.scale);
}

std::vector<ByteDifference> CompareImages(const CalibrationImage& first,
                                          const CalibrationImage& second) {
    std::vector<ByteDifference> differences;
    if (first.values == second.values) {
        return differences;  // the walks are not needed
    }
    const ImageByteNames names = NameImageBytes(first);
    for (int i = 0; i < ImageSize; ++i) {
        if (first[i] != second[i]) {
            differences.push_back({i, first[i], second[i], names[static_cast<size_t>(i)]});
        }
    }
    return differences;
}

std::string DifferenceLine(const ByteDifference& d) {
    char head[48];
    std::snprintf(head, sizeof head, "%04X %u %u ",
                  ImageBaseAddress + static_cast<uint32_t>(d.index), d.first, d.second);
    return head + d.name;
}

}  // namespace korvel
