// The reader against the Windows resource compiler: the same .rc compiled by
// MinGW's windres into a .res file, decoded here into the reader's own model,
// must list exactly the reader's values (and those of the generated tables).
// Skipped where windres is not installed (scripts/bootstrap installs it).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "platform/rc/rc_constants.h"
#include "platform/rc/rc_parser.h"
#include "platform/rc/resource_tables.h"
#include "tests/platform/rc/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace platform::rc::reader;
using Kind = platform::rc::MenuItemTemplate::Kind;

// Little-endian reads of a .res file; a read past the end sets `bad` and
// gives 0, so a truncated file decodes to something that differs.
struct Bytes {
    const std::vector<std::uint8_t>& data;
    std::size_t pos, end;
    bool bad = false;
    unsigned U8() {
        if (pos >= end)
            return bad = true, 0;
        return data[pos++];
    }
    unsigned U16() { return U8() | U8() << 8; }
    std::uint32_t U32() { return U16() | static_cast<std::uint32_t>(U16()) << 16; }
    std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
    std::string Utf16() {  // NUL-terminated; the fixtures' texts are ASCII
        std::string out;
        for (unsigned unit = U16(); unit != 0 && !bad; unit = U16())
            out += static_cast<char>(unit < 0x100 ? unit : '?');
        return out;
    }
    // A string, or 0xFFFF and an ordinal, or 0 for nothing.
    void NameOrOrdinal(std::string& text, int& ordinal) {
        const unsigned first = U16();
        if (first == 0xFFFF)
            ordinal = static_cast<int>(U16());
        else if (first != 0)
            pos -= 2, text = Utf16();
    }
    void Align4() { pos = std::min(end, (pos + 3) & ~std::size_t{3}); }
};

DialogModel DecodeDialog(int id, const std::vector<std::uint8_t>& data) {
    Bytes r{data, 0, data.size()};
    DialogModel d;
    d.id = id;
    d.extended = data.size() >= 4 && r.U32() == 0xFFFF0001u;
    if (d.extended) {
        r.U32();  // help id
        d.exStyle = r.U32(), d.style = r.U32();
    } else {
        r.pos = 0, d.style = r.U32(), d.exStyle = r.U32();
    }
    const unsigned count = r.U16();
    d.x = r.I16(), d.y = r.I16(), d.cx = r.I16(), d.cy = r.I16();
    std::string name;
    int ordinal = -1;
    r.NameOrOrdinal(name, ordinal);  // menu
    r.NameOrOrdinal(name, ordinal);  // class
    d.caption = r.Utf16();
    if ((d.style & 0x40) != 0) {  // DS_SETFONT
        d.fontPointSize = r.I16();
        if (d.extended) {
            d.fontWeight = static_cast<std::uint16_t>(r.U16());
            d.fontItalic = r.U8() != 0;
            d.fontCharset = static_cast<std::uint8_t>(r.U8());
        }
        d.fontName = r.Utf16();
    }
    static const char* const kAtoms[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR"};
    for (unsigned i = 0; i < count && !r.bad; ++i) {
        r.Align4();
        ControlModel c;
        if (d.extended)
            r.U32(), c.exStyle = r.U32(), c.style = r.U32();
        else
            c.style = r.U32(), c.exStyle = r.U32();
        c.x = r.I16(), c.y = r.I16(), c.cx = r.I16(), c.cy = r.I16();
        c.id = d.extended ? static_cast<int>(r.U32()) : static_cast<int>(r.U16());
        int atom = -1;
        r.NameOrOrdinal(c.windowClass, atom);
        if (atom >= 0x80 && atom <= 0x84)
            c.windowClass = kAtoms[atom - 0x80];
        r.NameOrOrdinal(c.text, c.textResourceId);
        r.pos += r.U16();  // creation data
        d.controls.push_back(c);
    }
    return d;
}

void DecodeMenuLevel(Bytes& r, std::vector<MenuItemModel>& items) {
    for (unsigned flags = 0; (flags & 0x80) == 0 && !r.bad;) {  // MF_END
        flags = r.U16();
        const std::uint32_t own = flags & ~0x90u;  // without MF_POPUP and MF_END
        if ((flags & 0x10) != 0) {
            items.push_back({Kind::Popup, r.Utf16(), 0, own});
            DecodeMenuLevel(r, items);
            items.push_back({Kind::EndPopup, "", 0, 0});
            continue;
        }
        MenuItemModel item{Kind::Item, "", static_cast<int>(r.U16()), own};
        item.text = r.Utf16();
        if (own == 0 && item.id == 0 && item.text.empty())
            item.kind = Kind::Separator;
        items.push_back(item);
    }
}

// Version nodes: length, value length, type (1: text), key, value, children.
void DecodeVersion(Bytes r, VersionModel& version) {
    while (r.pos + 6 <= r.end && !r.bad) {
        const std::size_t start = r.pos;
        const unsigned length = r.U16(), valueLength = r.U16(), type = r.U16();
        const std::string key = r.Utf16();
        r.Align4();
        const std::size_t nodeEnd = std::min(r.end, start + std::max(length, 6u));
        std::size_t children = r.pos + (type == 1 ? 2u : 1u) * valueLength;
        if (type == 1 && valueLength > 0) {
            version.strings.emplace_back(key, Bytes{r.data, r.pos, nodeEnd}.Utf16());
        } else if (key == "VS_VERSION_INFO" && valueLength >= 52) {
            Bytes fixed{r.data, r.pos + 8, nodeEnd};  // after the signature and structure version
            for (auto* part : {&version.fileVersion, &version.productVersion}) {
                const std::uint32_t ms = fixed.U32(), ls = fixed.U32();
                *part = {static_cast<std::uint16_t>(ms >> 16), static_cast<std::uint16_t>(ms),
                         static_cast<std::uint16_t>(ls >> 16), static_cast<std::uint16_t>(ls)};
            }
        }
        children = (children + 3) & ~std::size_t{3};
        if (children < nodeEnd)
            DecodeVersion(Bytes{r.data, children, nodeEnd}, version);
        r.pos = nodeEnd;
        r.Align4();
    }
}

// Every resource of a .res file with an ordinal type and name. A bitmap's
// bytes get back the 14-byte file header the resource leaves out (zeros); an
// icon group's entries get the bytes of the images they name.
ResourceFile DecodeRes(const std::vector<std::uint8_t>& bytes) {
    ResourceFile out;
    std::map<int, std::vector<unsigned char>> iconImages;        // type 3, by id
    std::vector<std::pair<IconModel, std::vector<int>>> groups;  // type 14, image ids
    Bytes header{bytes, 0, bytes.size()};
    while (header.pos + 8 <= bytes.size() && !header.bad) {
        const std::size_t start = header.pos;
        const std::uint32_t dataSize = header.U32(), headerSize = header.U32();
        std::string name;
        int type = -1, id = -1;
        header.NameOrOrdinal(name, type);
        header.NameOrOrdinal(name, id);
        const std::size_t begin = start + headerSize;
        if (headerSize < 8 || begin + dataSize > bytes.size()) {
            ADD_FAILURE() << "a malformed .res file";
            return out;
        }
        const std::vector<std::uint8_t> data(bytes.begin() + begin,
                                             bytes.begin() + begin + dataSize);
        Bytes r{data, 0, data.size()};
        if (type == 5) {
            out.dialogs.push_back(DecodeDialog(id, data));
        } else if (type == 4) {
            r.pos = 4 + (r.U16(), r.U16());  // version, header size
            out.menus.push_back({id, {}, 0});
            DecodeMenuLevel(r, out.menus.back().items);
        } else if (type == 9) {
            out.accelerators.push_back({id, {}, 0});
            while (r.pos + 8 <= r.end) {
                const auto flags = static_cast<std::uint8_t>(r.U16() & 0x7F);  // 0x80: the last
                const auto key = static_cast<std::uint16_t>(r.U16());
                const auto cmd = static_cast<std::uint16_t>(r.U16());
                r.U16();  // padding
                out.accelerators.back().entries.push_back({flags, key, cmd});
            }
        } else if (type == 2) {
            out.bitmaps.push_back({id, "", std::vector<unsigned char>(14), 0});
            out.bitmaps.back().bytes.insert(out.bitmaps.back().bytes.end(), data.begin(),
                                            data.end());
        } else if (type == 16) {
            out.versions.push_back({id, {}, {}, {}, 0});
            DecodeVersion(r, out.versions.back());
        } else if (type == 3) {
            iconImages[id].assign(data.begin(), data.end());
        } else if (type == 14) {  // GRPICONDIR, then 14-byte entries
            r.pos = 4;
            const unsigned count = r.U16();
            groups.push_back({IconModel{id, "", {}, 0}, {}});
            for (unsigned i = 0; i < count && !r.bad; ++i) {
                IconImageModel image;
                image.width = static_cast<int>(r.U8()), image.height = static_cast<int>(r.U8());
                image.width = image.width == 0 ? 256 : image.width;
                image.height = image.height == 0 ? 256 : image.height;
                image.colorCount = static_cast<int>(r.U8());
                r.U8();  // reserved
                image.planes = static_cast<int>(r.U16()),
                image.bitCount = static_cast<int>(r.U16());
                r.U32();  // the image's size, which its bytes give
                groups.back().first.images.push_back(image);
                groups.back().second.push_back(static_cast<int>(r.U16()));
            }
        } else if (type == 24) {
            out.manifests.push_back({id, "", {data.begin(), data.end()}, 0});
        }
        header.pos = (begin + dataSize + 3) & ~std::size_t{3};
    }
    for (auto& [icon, imageIds] : groups) {
        for (std::size_t i = 0; i < imageIds.size(); ++i)
            icon.images[i].bytes = iconImages[imageIds[i]];
        out.icons.push_back(icon);
    }
    return out;
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The whole file as text, a line per resource, control, item and entry,
// sorted by id, so that a difference shows as a line of the diff. Without
// `full`, only what the generated tables carry (no DIALOGEX fonts'
// weight, italic flag and character set, no version, bitmaps without their
// file header; icons and manifests, which the tables leave out, are absent
// from what FromTables gives); windres stores class names upper-cased and a
// DIALOG's ids in 16 bits.
std::string Describe(ResourceFile f, bool full) {
    std::ostringstream out;
    const auto byId = [](const auto& a, const auto& b) { return a.id < b.id; };
    std::sort(f.dialogs.begin(), f.dialogs.end(), byId);
    for (const DialogModel& d : f.dialogs) {
        out << "DIALOG " << d.id << std::hex << " style " << d.style << " ex " << d.exStyle
            << std::dec << " at " << d.x << ',' << d.y << ',' << d.cx << ',' << d.cy << " \""
            << d.caption << "\" font " << d.fontPointSize << ' ' << d.fontName;
        if (full && d.extended && !d.fontName.empty())
            out << " EX " << d.fontWeight << ' ' << d.fontItalic << ' ' << int{d.fontCharset};
        out << (full && d.extended ? " DIALOGEX\n" : "\n");
        for (const ControlModel& c : d.controls)
            out << "  " << Upper(c.windowClass) << " \"" << c.text << "\" " << c.textResourceId
                << " id " << static_cast<std::uint16_t>(c.id) << std::hex << " style " << c.style
                << " ex " << c.exStyle << std::dec << " at " << c.x << ',' << c.y << ',' << c.cx
                << ',' << c.cy << '\n';
    }
    std::sort(f.menus.begin(), f.menus.end(), byId);
    for (const MenuModel& m : f.menus) {
        out << "MENU " << m.id << '\n';
        for (const MenuItemModel& i : m.items)
            out << "  " << static_cast<int>(i.kind) << " \"" << i.text << "\" " << i.id << " flags "
                << i.flags << '\n';
    }
    std::sort(f.accelerators.begin(), f.accelerators.end(), byId);
    for (const AcceleratorTableModel& t : f.accelerators) {
        out << "ACCELERATORS " << t.id << '\n';
        for (const auto& e : t.entries)
            out << "  " << int{e.fVirt} << ' ' << e.key << ' ' << e.cmd << '\n';
    }
    const auto hashOf = [](std::span<const unsigned char> bytes) {  // FNV-1a
        std::uint32_t hash = 2166136261u;
        for (const unsigned char b : bytes)
            hash = (hash ^ b) * 16777619u;
        return hash;
    };
    std::sort(f.bitmaps.begin(), f.bitmaps.end(), byId);
    for (const BitmapModel& b : f.bitmaps)  // the bytes after the file header
        out << "BITMAP " << b.id << ' ' << b.bytes.size() << " bytes "
            << hashOf(std::span(b.bytes).subspan(std::min<std::size_t>(14, b.bytes.size())))
            << '\n';
    std::sort(f.icons.begin(), f.icons.end(), byId);
    for (const IconModel& i : f.icons) {
        out << "ICON " << i.id << '\n';
        for (const IconImageModel& image : i.images)
            out << "  " << image.width << 'x' << image.height << " colours " << image.colorCount
                << " planes " << image.planes << " bits " << image.bitCount << ' '
                << image.bytes.size() << " bytes " << hashOf(image.bytes) << '\n';
    }
    std::sort(f.manifests.begin(), f.manifests.end(), byId);
    for (const ManifestModel& m : f.manifests)
        out << "MANIFEST " << m.id << ' ' << m.bytes.size() << " bytes " << hashOf(m.bytes) << '\n';
    for (const VersionModel& v : full ? f.versions : std::vector<VersionModel>{}) {
        out << "VERSION " << v.id;
        for (const auto n : v.fileVersion)
            out << ' ' << n;
        for (const auto n : v.productVersion)
            out << ' ' << n;
        for (const auto& [key, value] : v.strings)
            out << "\n  " << key << " = " << value;
        out << '\n';
    }
    return out.str();
}

// The generated tables of the resources `like` lists, in the reader's terms.
ResourceFile FromTables(const ResourceFile& like) {
    ResourceFile out;
    for (const DialogModel& wanted : like.dialogs) {
        if (const auto* t = platform::rc::FindDialog(wanted.id)) {
            DialogModel d{t->id, false,      t->style,    t->exStyle,       t->x, t->y,  t->cx,
                          t->cy, t->caption, t->fontName, t->fontPointSize, 0,    false, 1,
                          {},    0};
            for (const auto& i : t->items)
                d.controls.push_back({i.windowClass, i.text, i.textResourceId, i.id, i.style,
                                      i.exStyle, i.x, i.y, i.cx, i.cy, 0});
            out.dialogs.push_back(d);
        }
    }
    for (const MenuModel& wanted : like.menus) {
        if (const auto* t = platform::rc::FindMenu(wanted.id)) {
            out.menus.push_back({t->id, {}, 0});
            for (const auto& i : t->items)
                out.menus.back().items.push_back({i.kind, i.text, i.id, i.flags});
        }
    }
    for (const AcceleratorTableModel& wanted : like.accelerators) {
        if (const auto* t = platform::rc::FindAccelerators(wanted.id))
            out.accelerators.push_back({t->id, {t->entries.begin(), t->entries.end()}, 0});
    }
    for (const BitmapModel& wanted : like.bitmaps) {
        if (const auto* t = platform::rc::FindBitmap(wanted.id))
            out.bitmaps.push_back({t->id, "", {t->fileBytes.begin(), t->fileBytes.end()}, 0});
    }
    return out;
}

class WindresTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(ZEMBRIX_WINDRES).empty() || !fs::exists(ZEMBRIX_WINDRES))
            GTEST_SKIP() << "MinGW windres is not installed (Debian package "
                            "binutils-mingw-w64-x86-64); nothing to compare with";
    }
    // What windres makes of rc, and what the reader does, both given the
    // -I directory `include` (when not empty) after the file's own.
    std::pair<ResourceFile, ResourceFile> Compile(const fs::path& rc,
                                                  const fs::path& include = {}) {
        const fs::path res = dir_.path() / "out.res";
        const fs::path log = dir_.path() / "windres.log";
        std::string includes = " -I " + rc_test::ShellQuote(rc.parent_path().string());
        if (!include.empty())
            includes += " -I " + rc_test::ShellQuote(include.string());
        const int status = rc_test::RunCommand(rc_test::ShellQuote(ZEMBRIX_WINDRES) + includes +
                                               " " + rc_test::ShellQuote(rc.string()) +
                                               " -O res -o " + rc_test::ShellQuote(res.string()) +
                                               " > " + rc_test::ShellQuote(log.string()) + " 2>&1");
        EXPECT_EQ(status, 0) << "windres failed:\n" << rc_test::ReadText(log);
        const std::string text = rc_test::ReadText(res);
        DiskSourceLoader loader;
        const ParseResult ours =
            ParseResourceFile(rc.string(), loader,
                              include.empty() ? std::vector<std::string>{}
                                              : std::vector<std::string>{include.string()});
        EXPECT_TRUE(ours.ok) << ours.error.ToString();
        return {DecodeRes({text.begin(), text.end()}), ours.resources};
    }
    rc_test::TempDir dir_;
};

TEST_F(WindresTest, TheProgramsResourcesAndTheirTablesHoldWhatWindresStores) {
    const auto [theirs, ours] =
        Compile(rc_test::SourceDir() / "resources" / "zembrix.rc", ZEMBRIX_WINDOWS_RESOURCE_DIR);
    EXPECT_EQ(Describe(ours, true), Describe(theirs, true));
    ResourceFile shown = theirs;
    shown.icons.clear(), shown.manifests.clear();
    EXPECT_EQ(Describe(FromTables(theirs), false), Describe(shown, false));
    EXPECT_EQ(ours.icons.at(0).images.size() + ours.manifests.size(), 5u + 1u);
}

TEST_F(WindresTest, EveryStatementFormOfTheFixtureMatchesWindres) {
    const auto [theirs, ours] = Compile(rc_test::FixturesDir() / "fixtures" / "forms.rc",
                                        rc_test::FixturesDir() / "fixtures" / "include");
    EXPECT_EQ(Describe(ours, true), Describe(theirs, true));
}

// Every Win32 name the reader knows, given to windres as a control's extended
// style (stored unchanged), must come back with the reader's value.
TEST_F(WindresTest, KnownWin32ConstantsHaveTheValuesOfTheWindowsHeaders) {
    const auto constants = Win32Constants();
    std::ofstream file(dir_.path() / "constants.rc");
    file << "#include <windows.h>\n1 DIALOG 0, 0, 10, 10\nBEGIN\n";
    for (std::size_t i = 0; i < constants.size(); ++i)
        file << "  CONTROL \"\", " << i + 1 << ", \"Static\", 0, 0, 0, 1, 1, " << constants[i].name
             << "\n";
    file << "END\n";
    file.close();
    const auto [theirs, ours] = Compile(dir_.path() / "constants.rc");
    ASSERT_EQ(theirs.dialogs.size(), 1u);
    ASSERT_EQ(theirs.dialogs[0].controls.size(), constants.size());
    for (std::size_t i = 0; i < constants.size(); ++i)
        EXPECT_EQ(constants[i].value, theirs.dialogs[0].controls[i].exStyle) << constants[i].name;
}

}  // namespace
