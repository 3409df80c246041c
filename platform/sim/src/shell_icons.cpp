// The shell's file icons: SHGetFileInfo, the system image lists it fills, ImageList_DrawEx that
// draws from them, and the pictures behind them.
#include <cesim/device.h>
#include <cesim/shell_icons.h>

#include <commctrl.h>
#include <shellapi.h>

#include "gdi.h"
#include "gdi_model.h"
#include "icon_store.h"
#include "processes.h"
#include "resource_section.h"
#include "shell_icon_art.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace cesim {

namespace {

typedef Kernel::Lock Lock;

struct ImageList {
    HIMAGELIST handle = nullptr;
    int size = 0;
    std::vector<IconImage> images;
    std::map<std::u16string, int> byKey;
};

struct State {
    ImageList small;
    ImageList large;
    std::map<std::u16string, ShellIcon> programIcons; // by lower-case module path
    size_t requests = 0;
};

State& S() {
    static State* state = new State;
    return *state;
}

std::u16string Lower(const std::u16string& text) {
    std::u16string lower;
    for (char16_t c : text)
        lower.push_back(char16_t(cesim_towlower(wchar_t(c))));
    return lower;
}

bool EndsWith(const std::u16string& text, const std::u16string& end) {
    return text.size() >= end.size() && Lower(text.substr(text.size() - end.size())) == end;
}

uint32_t ArtColor(char letter) {
    switch (letter) {
    case 'k':
        return 0x000000;
    case 'w':
        return 0xFFFFFF;
    case 'g':
        return 0xA0A0A0;
    case 'l':
        return 0xB0B0B0;
    case 'd':
        return 0x484848;
    case 'b':
        return 0x0028A0;
    case 'B':
        return 0x60A0FF;
    case 'r':
        return 0xD81818;
    case 'y':
        return 0xFFE040;
    case 'Y':
        return 0xFFF8B0;
    case 'G':
        return 0x009628;
    case 'o':
        return 0xF89010;
    case 'n':
        return 0x8C5418;
    case 's':
        return 0xF8C8A0;
    case 'c':
        return 0xA0E0FF;
    }
    return kTransparent;
}

const IconArt* FindArt(ShellIcon icon) {
    if (icon == ShellIcon::None)
        icon = ShellIcon::Program;
    for (size_t i = 0; i < kIconArtCount; ++i)
        if (kIconArt[i].icon == icon)
            return &kIconArt[i];
    return nullptr;
}

IconImage ArtImage(ShellIcon icon, int size) {
    IconImage image;
    image.color = Surface(size, size, 0);
    image.opaque.assign(size_t(size) * size, 0);
    const IconArt* art = FindArt(icon);
    for (int y = 0; art && y < size; ++y)
        for (int x = 0; x < size; ++x) {
            uint32_t pixel = ArtColor(art->rows[y * kArtSize / size][x * kArtSize / size]);
            if (pixel == kTransparent)
                continue;
            image.color.set(x, y, pixel);
            image.opaque[size_t(y) * size + x] = 1;
        }
    return image;
}

struct Shortcut {
    const char16_t* path;
    ShellIcon icon;
};

// The shortcuts the shell keeps for its own programs, whose icons the programs lack.
const Shortcut kShortcuts[] = {
    {u"\\windows\\calendar.lnk", ShellIcon::Calendar},
    {u"\\windows\\tasks.lnk", ShellIcon::Tasks},
    {u"\\windows\\addrbook.lnk", ShellIcon::Contacts},
    {u"\\windows\\search.lnk", ShellIcon::Search},
    {u"\\windows\\find.lnk", ShellIcon::Search},
    {u"\\windows\\pimg.lnk", ShellIcon::Pictures},
    {u"\\windows\\intshrui.lnk", ShellIcon::Internet},
    {u"\\windows\\cprog.lnk", ShellIcon::Phone},
    {u"\\windows\\atciui.lnk", ShellIcon::Sync},
};

// Where an icon comes from: a picture of the shell's, or an icon group of a program image.
struct IconSource {
    std::u16string key;
    ShellIcon art = ShellIcon::Program;
    std::vector<uint8_t> resources;
    ResourceId group;
};

std::optional<ResourceId> FirstIconGroup(const std::vector<uint8_t>& section) {
    auto entries = ParseResourceSection(section);
    if (!entries)
        return std::nullopt;
    for (const ResourceEntry& e : *entries)
        if (e.type.isOrdinal && e.type.ordinal == 14)
            return e.name;
    return std::nullopt;
}

IconSource Art(ShellIcon icon) {
    IconSource source;
    source.art = icon == ShellIcon::None ? ShellIcon::Program : icon;
    source.key = u"art:" + std::u16string(1, char16_t(u'A' + int(source.art)));
    return source;
}

bool HostFileExists(const std::u16string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(HostPath(path), ec);
}

// The program a shortcut file names: "NN#target", the target perhaps quoted and followed by
// arguments.
std::u16string ShortcutTarget(const std::u16string& path) {
    std::ifstream in(HostPath(path), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string content = text.str();
    size_t hash = content.find('#');
    if (hash == std::string::npos)
        return std::u16string();
    std::string target = content.substr(hash + 1);
    if (!target.empty() && target[0] == '"') {
        size_t close = target.find('"', 1);
        target = target.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else {
        target = target.substr(0, target.find_first_of(" \r\n"));
    }
    return Widen(target);
}

std::optional<IconSource> Resolve(const std::u16string& path, int depth) {
    if (path.empty() || depth > 4)
        return std::nullopt;
    if (auto icon = ShortcutIcon(path))
        return Art(*icon);
    if (EndsWith(path, u".lnk"))
        return HostFileExists(path) ? Resolve(ShortcutTarget(path), depth + 1) : std::nullopt;
    Lock lock(Kernel::Mutex());
    auto given = S().programIcons.find(Lower(path));
    if (given != S().programIcons.end() && given->second != ShellIcon::None)
        return Art(given->second);
    Process* process = Kernel::FindProcessByModule(lock, path);
    const std::vector<uint8_t>* installed = InstalledImageResources(lock, path);
    const std::vector<uint8_t>* running = process ? &process->resources : nullptr;
    for (const std::vector<uint8_t>* section : {running, installed}) {
        if (!section || section->empty())
            continue;
        if (auto group = FirstIconGroup(*section)) {
            IconSource source;
            source.key = u"res:" + Lower(path);
            source.resources = *section;
            source.group = *group;
            return source;
        }
    }
    if (process || installed || given != S().programIcons.end())
        return Art(ShellIcon::Program);
    lock.unlock();
    if (HostFileExists(path))
        return Art(ShellIcon::Program);
    return std::nullopt;
}

int Scaled(int n, int dpi) {
    return (n * dpi + 48) / 96;
}

ImageList& ListOf(const Lock& held, bool small) {
    State& s = S();
    if (!s.small.handle) {
        // Square icons, sized by the horizontal scale as the system metrics of small icons are.
        int dpi = gdi::DisplayDpiX(held);
        s.small.handle = reinterpret_cast<HIMAGELIST>(uintptr_t(0x04000010));
        s.small.size = Scaled(16, dpi);
        s.large.handle = reinterpret_cast<HIMAGELIST>(uintptr_t(0x04000020));
        s.large.size = Scaled(32, dpi);
    }
    return small ? s.small : s.large;
}

ImageList* FindList(const Lock& held, HIMAGELIST handle) {
    ImageList& small = ListOf(held, true);
    if (handle == small.handle)
        return &small;
    ImageList& large = ListOf(held, false);
    return handle == large.handle ? &large : nullptr;
}

IconImage ImageOf(const IconSource& source, int size) {
    if (source.resources.empty())
        return ArtImage(source.art, size);
    DWORD error = 0;
    auto image = LoadIconFromSection(source.resources, source.group, size, size, 0, &error);
    return image ? *image : ArtImage(ShellIcon::Program, size);
}

// The icon's index in the list, added on first use.
int IndexOf(ImageList& list, const IconSource& source) {
    auto it = list.byKey.find(source.key);
    if (it != list.byKey.end())
        return it->second;
    list.images.push_back(ImageOf(source, list.size));
    int index = int(list.images.size()) - 1;
    list.byKey[source.key] = index;
    return index;
}

IconImage Crop(const IconImage& image, int width, int height) {
    IconImage part;
    part.blended = image.blended;
    part.color = Surface(width, height, 0);
    part.opaque.assign(size_t(width) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            part.color.set(x, y, image.color.at(x, y));
            part.opaque[size_t(y) * width + x] = image.opaque[size_t(y) * image.color.width + x];
        }
    return part;
}

} // namespace

Surface ShellIconImage(ShellIcon icon, int size) {
    IconImage image = ArtImage(icon, size);
    Surface out(size, size, kTransparent);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (image.opaque[size_t(y) * size + x])
                out.set(x, y, image.color.at(x, y));
    return out;
}

std::optional<ShellIcon> ShortcutIcon(const std::u16string& path) {
    std::u16string lower = Lower(path);
    for (const Shortcut& s : kShortcuts)
        if (lower == s.path)
            return s.icon;
    return std::nullopt;
}

size_t IconRequests() {
    Lock lock(Kernel::Mutex());
    return S().requests;
}

HIMAGELIST SystemImageList(bool small) {
    Lock lock(Kernel::Mutex());
    return ListOf(lock, small).handle;
}

Surface ImageListImage(HIMAGELIST handle, int index) {
    Lock lock(Kernel::Mutex());
    ImageList* list = FindList(lock, handle);
    if (!list || index < 0 || size_t(index) >= list->images.size())
        return Surface();
    const IconImage& image = list->images[size_t(index)];
    Surface out(image.color.width, image.color.height, kTransparent);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            if (image.opaque[size_t(y) * out.width + x])
                out.set(x, y, image.color.at(x, y));
    return out;
}

void RegisterProgramIcon(const Kernel::Lock&, const std::u16string& modulePath, ShellIcon icon) {
    S().programIcons[Lower(modulePath)] = icon;
}

void ResetShellIcons(const Kernel::Lock&) {
    S() = State();
}

} // namespace cesim

using namespace cesim;

extern "C" {

DWORD_PTR SHGetFileInfo(LPCWSTR path, DWORD attributes, SHFILEINFO* info, UINT size, UINT flags) {
    if (!info || size < sizeof(SHFILEINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string file = U16(path);
    DWORD_PTR result = 0;
    if (flags & SHGFI_DISPLAYNAME) {
        size_t slash = file.find_last_of(u"\\/");
        std::u16string name = slash == std::u16string::npos ? file : file.substr(slash + 1);
        if (EndsWith(name, u".lnk"))
            name.resize(name.size() - 4);
        name.resize(std::min<size_t>(name.size(), MAX_PATH - 1));
        std::copy(name.begin(), name.end(), info->szDisplayName);
        info->szDisplayName[name.size()] = 0;
        result = 1;
    }
    if (!(flags & (SHGFI_SYSICONINDEX | SHGFI_ICON)))
        return result;
    {
        Lock lock(Kernel::Mutex());
        ++S().requests;
    }
    std::optional<IconSource> source = Resolve(file, 0);
    if (!source) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    IconImage image;
    {
        Lock lock(Kernel::Mutex());
        ImageList& list = ListOf(lock, (flags & SHGFI_SMALLICON) != 0);
        info->iIcon = IndexOf(list, *source);
        image = list.images[size_t(info->iIcon)];
        result = (flags & SHGFI_SYSICONINDEX) ? DWORD_PTR(list.handle) : 1;
    }
    // A copy of its own, which the caller destroys.
    if (flags & SHGFI_ICON)
        info->hIcon = CreateIconObject(image);
    return result;
}

BOOL ImageList_DrawEx(HIMAGELIST handle, int i, HDC dc, int x, int y, int dx, int dy,
                      COLORREF background, COLORREF foreground, UINT style) {
    Lock lock(Kernel::Mutex());
    BOOL ok = FALSE;
    ImageList* list = FindList(lock, handle);
    if (list && i >= 0 && size_t(i) < list->images.size()) {
        const IconImage& image = list->images[size_t(i)];
        int width = dx > 0 ? std::min(dx, image.color.width) : image.color.width;
        int height = dy > 0 ? std::min(dy, image.color.height) : image.color.height;
        IconImage part = Crop(image, width, height);
        if (style & ILD_MASK) {
            ok = gdi::PaintIcon(lock, dc, x, y, part, width, height, DI_MASK);
        } else {
            gdi::GdiObject* d = gdi::FindDC(lock, dc);
            gdi::Target target = d ? gdi::TargetOf(lock, *d) : gdi::Target();
            // The system lists have no background colour of their own.
            bool fill = background != CLR_NONE && background != COLORREF(CLR_DEFAULT) &&
                        !(style & ILD_TRANSPARENT);
            if (fill && target.surface)
                gdi::FillPixels(*target.surface, RECT{x, y, x + width, y + height},
                                gdi::PixelFor(target, d->state, background, false));
            ok = gdi::PaintIcon(lock, dc, x, y, part, width, height, DI_NORMAL);
        }
    }
    gdi::Record(lock, "ImageList_DrawEx", dc,
                {gdi::Arg(handle), i, x, y, dx, dy, int64_t(background), int64_t(foreground),
                 int64_t(style)},
                ok);
    return ok;
}

BOOL ImageList_GetIconSize(HIMAGELIST handle, int* cx, int* cy) {
    Lock lock(Kernel::Mutex());
    ImageList* list = FindList(lock, handle);
    if (!list || !cx || !cy)
        return FALSE;
    *cx = *cy = list->size;
    return TRUE;
}

int ImageList_GetImageCount(HIMAGELIST handle) {
    Lock lock(Kernel::Mutex());
    ImageList* list = FindList(lock, handle);
    return list ? int(list->images.size()) : 0;
}

} // extern "C"
