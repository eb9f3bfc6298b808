#include "tests/gui/wizard/dialog_template_reader.h"

#include <cstdint>
#include <cstring>

namespace corvane::test {
namespace {

class Cursor {
public:
    Cursor(const uint8_t* at, const uint8_t* end) : at_(at), begin_(at), end_(end) {}
    bool Ok() const { return ok_; }
    template <typename T>
    T Read() {
        T value{};
        if (at_ + sizeof(T) > end_) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, at_, sizeof(T));
        at_ += sizeof(T);
        return value;
    }
    std::string ReadString() {
        std::string text;
        for (uint16_t c = Read<uint16_t>(); ok_ && c != 0; c = Read<uint16_t>()) {
            text += c < 0x80 ? static_cast<char>(c) : '?';
        }
        return text;
    }
    // A name that is empty, an ordinal (0xFFFF, n) or a string.
    std::string ReadNameOrOrdinal() {
        const uint16_t first = Peek();
        if (first == 0) {
            Read<uint16_t>();
            return {};
        }
        if (first == 0xFFFF) {
            Read<uint16_t>();
            std::string ordinal(1, '#');
            ordinal.append(std::to_string(Read<uint16_t>()));
            return ordinal;
        }
        return ReadString();
    }
    void AlignTo(size_t bytes) {
        while ((at_ - begin_) % bytes != 0 && at_ < end_) {
            ++at_;
        }
    }
    void Skip(size_t bytes) {
        if (at_ + bytes > end_) {
            ok_ = false;
            return;
        }
        at_ += bytes;
    }

private:
    uint16_t Peek() {
        uint16_t value = 0;
        if (at_ + 2 <= end_) {
            std::memcpy(&value, at_, 2);
        }
        return value;
    }

    const uint8_t* at_;
    const uint8_t* begin_;
    const uint8_t* end_;
    bool ok_ = true;
};

std::string PredefinedClass(const std::string& name) {
    static const char* const kClasses[] = {"Button",  "Edit",      "Static",
                                           "ListBox", "ScrollBar", "ComboBox"};
    if (name.size() > 1 && name[0] == '#') {
        const int ordinal = std::stoi(name.substr(1));
        if (ordinal >= 0x80 && ordinal <= 0x85) {
            return kClasses[ordinal - 0x80];
        }
    }
    return name;
}

RECT ReadUnits(Cursor& cursor) {
    RECT units{};
    units.left = cursor.Read<int16_t>();
    units.top = cursor.Read<int16_t>();
    units.right = cursor.Read<int16_t>();
    units.bottom = cursor.Read<int16_t>();
    return units;
}

}  // namespace

bool ReadDialogTemplate(int id, DialogTemplate& out) {
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
    if (found == nullptr) {
        return false;
    }
    const auto* data = static_cast<const uint8_t*>(::LockResource(::LoadResource(module, found)));
    Cursor cursor(data, data + ::SizeofResource(module, found));
    if (cursor.Read<uint16_t>() != 1 || cursor.Read<uint16_t>() != 0xFFFF) {
        return false;
    }
    cursor.Read<uint32_t>();  // help id
    out.exStyle = cursor.Read<uint32_t>();
    out.style = cursor.Read<uint32_t>();
    const uint16_t count = cursor.Read<uint16_t>();
    out.units = ReadUnits(cursor);
    cursor.ReadNameOrOrdinal();  // menu
    cursor.ReadNameOrOrdinal();  // class
    out.caption = cursor.ReadString();
    if (out.style & (DS_SETFONT | DS_FIXEDSYS)) {
        out.pointSize = cursor.Read<uint16_t>();
        cursor.Read<uint16_t>();  // weight
        cursor.Read<uint8_t>();   // italic
        cursor.Read<uint8_t>();   // character set
        out.face = cursor.ReadString();
    }
    out.items.clear();
    for (uint16_t i = 0; i < count && cursor.Ok(); ++i) {
        cursor.AlignTo(4);
        TemplateItem item;
        cursor.Read<uint32_t>();  // help id
        item.exStyle = cursor.Read<uint32_t>();
        item.style = cursor.Read<uint32_t>();
        item.units = ReadUnits(cursor);
        item.id = cursor.Read<uint32_t>();
        item.className = PredefinedClass(cursor.ReadNameOrOrdinal());
        item.text = cursor.ReadNameOrOrdinal();
        cursor.Skip(cursor.Read<uint16_t>());  // creation data
        out.items.push_back(item);
    }
    return cursor.Ok() && out.items.size() == count;
}

}  // namespace corvane::test
