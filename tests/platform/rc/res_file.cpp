// Reader of compiled resource files for the tests (see res_file.h). Every read
// is bounds-checked; a short or inconsistent file gives no result.
#include "tests/platform/rc/res_file.h"

#include <cstddef>

namespace rc_test {
namespace {

class ByteReader {
public:
    ByteReader(const std::vector<std::uint8_t>& bytes, std::size_t begin, std::size_t end)
        : bytes_(bytes), pos_(begin), end_(end) {}

    bool ok() const { return ok_; }
    std::size_t pos() const { return pos_; }
    bool AtEnd() const { return pos_ >= end_; }

    std::uint8_t U8() {
        if (pos_ + 1 > end_) {
            ok_ = false;
            return 0;
        }
        return bytes_[pos_++];
    }
    std::uint16_t U16() {
        const std::uint16_t low = U8();
        return static_cast<std::uint16_t>(low | (U8() << 8));
    }
    std::uint32_t U32() {
        const std::uint32_t low = U16();
        return low | (static_cast<std::uint32_t>(U16()) << 16);
    }
    std::int16_t I16() { return static_cast<std::int16_t>(U16()); }

    // A NUL-terminated UTF-16 string, one byte per unit.
    std::string Utf16() {
        std::string out;
        for (;;) {
            const std::uint16_t unit = U16();
            if (!ok_ || unit == 0) {
                return out;
            }
            out += static_cast<char>(unit < 0x100 ? unit : '?');
        }
    }

    // sz_Or_Ord: 0 (nothing), 0xFFFF and an ordinal, or a string.
    void StringOrOrdinal(std::string& text, int& ordinal) {
        const std::uint16_t first = U16();
        if (first == 0) {
            return;
        }
        if (first == 0xFFFF) {
            ordinal = U16();
            return;
        }
        pos_ -= 2;
        text = Utf16();
    }

    // Aligns to a multiple of 4 counted from base.
    void Align4(std::size_t base) {
        while ((pos_ - base) % 4 != 0 && pos_ < end_) {
            ++pos_;
        }
    }
    void Skip(std::size_t n) {
        if (pos_ + n > end_) {
            ok_ = false;
            pos_ = end_;
            return;
        }
        pos_ += n;
    }

private:
    const std::vector<std::uint8_t>& bytes_;
    std::size_t pos_;
    std::size_t end_;
    bool ok_ = true;
};

std::string ClassAtomName(int atom) {
    switch (atom) {
        case 0x80:
            return "BUTTON";
        case 0x81:
            return "EDIT";
        case 0x82:
            return "STATIC";
        case 0x83:
            return "LISTBOX";
        case 0x84:
            return "SCROLLBAR";
        case 0x85:
            return "COMBOBOX";
        default:
            return "#" + std::to_string(atom);
    }
}

}  // namespace

std::optional<std::vector<ResEntry>> ReadResFile(const std::vector<std::uint8_t>& bytes) {
    std::vector<ResEntry> entries;
    std::size_t pos = 0;
    while (pos + 8 <= bytes.size()) {
        ByteReader header(bytes, pos, bytes.size());
        const std::uint32_t dataSize = header.U32();
        const std::uint32_t headerSize = header.U32();
        if (headerSize < 8 || pos + headerSize + dataSize > bytes.size()) {
            return std::nullopt;
        }
        std::string typeName, idName;
        int type = -1, id = -1;
        header.StringOrOrdinal(typeName, type);
        header.StringOrOrdinal(idName, id);
        if (!header.ok()) {
            return std::nullopt;
        }
        const std::size_t dataBegin = pos + headerSize;
        if (dataSize > 0 && type >= 0 && id >= 0) {
            ResEntry entry;
            entry.type = static_cast<std::uint16_t>(type);
            entry.id = static_cast<std::uint16_t>(id);
            entry.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(dataBegin),
                              bytes.begin() + static_cast<std::ptrdiff_t>(dataBegin + dataSize));
            entries.push_back(std::move(entry));
        }
        pos = dataBegin + dataSize;
        pos = (pos + 3) & ~static_cast<std::size_t>(3);
    }
    return entries;
}

const ResEntry* FindEntry(const std::vector<ResEntry>& entries, std::uint16_t type,
                          std::uint16_t id) {
    for (const ResEntry& entry : entries) {
        if (entry.type == type && entry.id == id) {
            return &entry;
        }
    }
    return nullptr;
}

std::optional<DecodedDialog> DecodeDialog(const std::vector<std::uint8_t>& data) {
    constexpr std::uint32_t kSetFont = 0x40;
    ByteReader r(data, 0, data.size());
    DecodedDialog dialog;
    std::uint16_t count = 0;
    if (data.size() >= 4 && data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF) {
        dialog.extended = true;
        r.Skip(4);
        r.U32();  // help id
        dialog.exStyle = r.U32();
        dialog.style = r.U32();
    } else {
        dialog.style = r.U32();
        dialog.exStyle = r.U32();
    }
    count = r.U16();
    dialog.x = r.I16();
    dialog.y = r.I16();
    dialog.cx = r.I16();
    dialog.cy = r.I16();
    std::string menu, windowClass;
    int menuOrdinal = -1, classOrdinal = -1;
    r.StringOrOrdinal(menu, menuOrdinal);
    r.StringOrOrdinal(windowClass, classOrdinal);
    dialog.caption = r.Utf16();
    if ((dialog.style & kSetFont) != 0) {
        dialog.fontPointSize = r.U16();
        if (dialog.extended) {
            dialog.fontWeight = r.U16();
            dialog.fontItalic = r.U8();
            dialog.fontCharset = r.U8();
        }
        dialog.fontName = r.Utf16();
    }
    for (std::uint16_t i = 0; i < count && r.ok(); ++i) {
        r.Align4(0);
        DecodedControl control;
        if (dialog.extended) {
            r.U32();  // help id
            control.exStyle = r.U32();
            control.style = r.U32();
        } else {
            control.style = r.U32();
            control.exStyle = r.U32();
        }
        control.x = r.I16();
        control.y = r.I16();
        control.cx = r.I16();
        control.cy = r.I16();
        control.id = dialog.extended ? r.U32() : r.U16();
        int atom = -1;
        r.StringOrOrdinal(control.windowClass, atom);
        if (atom >= 0) {
            control.windowClass = ClassAtomName(atom);
        }
        r.StringOrOrdinal(control.text, control.textOrdinal);
        r.Skip(r.U16());  // creation data
        dialog.controls.push_back(std::move(control));
    }
    if (!r.ok()) {
        return std::nullopt;
    }
    return dialog;
}

namespace {

bool DecodeMenuLevel(ByteReader& r, std::vector<DecodedMenuItem>& out, int depth) {
    using Kind = platform::rc::MenuItemTemplate::Kind;
    constexpr std::uint16_t kPopup = 0x10;
    constexpr std::uint16_t kEnd = 0x80;
    if (depth > 32) {
        return false;
    }
    for (;;) {
        const std::uint16_t flags = r.U16();
        if (!r.ok()) {
            return false;
        }
        const std::uint32_t own = flags & ~static_cast<std::uint32_t>(kPopup | kEnd);
        if ((flags & kPopup) != 0) {
            out.push_back(DecodedMenuItem{Kind::Popup, r.Utf16(), 0, own});
            if (!DecodeMenuLevel(r, out, depth + 1)) {
                return false;
            }
            out.push_back(DecodedMenuItem{Kind::EndPopup, "", 0, 0});
        } else {
            const std::uint16_t id = r.U16();
            std::string text = r.Utf16();
            const bool separator = own == 0 && id == 0 && text.empty();
            out.push_back(DecodedMenuItem{separator ? Kind::Separator : Kind::Item, std::move(text),
                                          id, own});
        }
        if ((flags & kEnd) != 0) {
            return r.ok();
        }
    }
}

bool WalkVersion(const std::vector<std::uint8_t>& data, std::size_t begin, std::size_t end,
                 DecodedVersion& out, int depth) {
    if (depth > 8) {
        return false;
    }
    std::size_t pos = begin;
    while (pos + 6 <= end) {
        ByteReader r(data, pos, end);
        const std::uint16_t length = r.U16();
        const std::uint16_t valueLength = r.U16();
        const std::uint16_t type = r.U16();
        const std::string key = r.Utf16();
        r.Align4(0);
        if (!r.ok() || length < 6 || pos + length > end) {
            return false;
        }
        const std::size_t nodeEnd = pos + length;
        const std::size_t valueBegin = r.pos();
        std::size_t childrenBegin = valueBegin;
        if (type == 1) {
            if (valueLength > 0) {  // blocks are text nodes without a value
                ByteReader value(data, valueBegin, nodeEnd);
                out.strings.emplace_back(key, value.Utf16());
            }
            childrenBegin = valueBegin + 2u * valueLength;
        } else {
            if (key == "VS_VERSION_INFO" && valueLength >= 52) {
                ByteReader fixed(data, valueBegin, nodeEnd);
                if (fixed.U32() != 0xFEEF04BDu) {
                    return false;
                }
                fixed.U32();  // structure version
                out.fileVersionMS = fixed.U32();
                out.fileVersionLS = fixed.U32();
                out.productVersionMS = fixed.U32();
                out.productVersionLS = fixed.U32();
            }
            childrenBegin = valueBegin + valueLength;
        }
        childrenBegin = (childrenBegin + 3) & ~static_cast<std::size_t>(3);
        if (childrenBegin < nodeEnd && !WalkVersion(data, childrenBegin, nodeEnd, out, depth + 1)) {
            return false;
        }
        pos = (nodeEnd + 3) & ~static_cast<std::size_t>(3);
    }
    return true;
}

}  // namespace

std::optional<std::vector<DecodedMenuItem>> DecodeMenu(const std::vector<std::uint8_t>& data) {
    ByteReader r(data, 0, data.size());
    r.U16();  // version
    r.Skip(r.U16());
    std::vector<DecodedMenuItem> items;
    if (!DecodeMenuLevel(r, items, 0)) {
        return std::nullopt;
    }
    return items;
}

std::optional<std::vector<platform::rc::AcceleratorEntry>> DecodeAccelerators(
    const std::vector<std::uint8_t>& data) {
    if (data.size() % 8 != 0) {
        return std::nullopt;
    }
    std::vector<platform::rc::AcceleratorEntry> entries;
    ByteReader r(data, 0, data.size());
    while (!r.AtEnd()) {
        const auto flags = static_cast<std::uint8_t>(r.U16() & 0x7F);  // 0x80 marks the last
        const std::uint16_t key = r.U16();
        const std::uint16_t cmd = r.U16();
        r.U16();
        entries.push_back(platform::rc::AcceleratorEntry{flags, key, cmd});
    }
    return entries;
}

std::optional<DecodedVersion> DecodeVersion(const std::vector<std::uint8_t>& data) {
    DecodedVersion version;
    if (!WalkVersion(data, 0, data.size(), version, 0)) {
        return std::nullopt;
    }
    return version;
}

}  // namespace rc_test
