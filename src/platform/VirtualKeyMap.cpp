#include "platform/VirtualKeyMap.h"
#include "platform/X11.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <algorithm>
#include <array>
#include <memory>

namespace framlet::VirtualKeyMap {
namespace {

struct Key {
    std::uint32_t virtualKeyCode;
    std::uint32_t keysym;
    int qtKey;  // 0 where the key has no Qt key of its own
};

// Every key of the ANSI keyboard by its virtual key code, in code order.
constexpr std::array kKeys{
    Key{0, XK_a, Qt::Key_A},
    Key{1, XK_s, Qt::Key_S},
    Key{2, XK_d, Qt::Key_D},
    Key{3, XK_f, Qt::Key_F},
    Key{4, XK_h, Qt::Key_H},
    Key{5, XK_g, Qt::Key_G},
    Key{6, XK_z, Qt::Key_Z},
    Key{7, XK_x, Qt::Key_X},
    Key{8, XK_c, Qt::Key_C},
    Key{9, XK_v, Qt::Key_V},
    Key{11, XK_b, Qt::Key_B},
    Key{12, XK_q, Qt::Key_Q},
    Key{13, XK_w, Qt::Key_W},
    Key{14, XK_e, Qt::Key_E},
    Key{15, XK_r, Qt::Key_R},
    Key{16, XK_y, Qt::Key_Y},
    Key{17, XK_t, Qt::Key_T},
    Key{18, XK_1, Qt::Key_1},
    Key{19, XK_2, Qt::Key_2},
    Key{20, XK_3, Qt::Key_3},
    Key{21, XK_4, Qt::Key_4},
    Key{22, XK_6, Qt::Key_6},
    Key{23, XK_5, Qt::Key_5},
    Key{24, XK_equal, Qt::Key_Equal},
    Key{25, XK_9, Qt::Key_9},
    Key{26, XK_7, Qt::Key_7},
    Key{27, XK_minus, Qt::Key_Minus},
    Key{28, XK_8, Qt::Key_8},
    Key{29, XK_0, Qt::Key_0},
    Key{30, XK_bracketright, Qt::Key_BracketRight},
    Key{31, XK_o, Qt::Key_O},
    Key{32, XK_u, Qt::Key_U},
    Key{33, XK_bracketleft, Qt::Key_BracketLeft},
    Key{34, XK_i, Qt::Key_I},
    Key{35, XK_p, Qt::Key_P},
    Key{36, XK_Return, Qt::Key_Return},
    Key{37, XK_l, Qt::Key_L},
    Key{38, XK_j, Qt::Key_J},
    Key{39, XK_apostrophe, Qt::Key_Apostrophe},
    Key{40, XK_k, Qt::Key_K},
    Key{41, XK_semicolon, Qt::Key_Semicolon},
    Key{42, XK_backslash, Qt::Key_Backslash},
    Key{43, XK_comma, Qt::Key_Comma},
    Key{44, XK_slash, Qt::Key_Slash},
    Key{45, XK_n, Qt::Key_N},
    Key{46, XK_m, Qt::Key_M},
    Key{47, XK_period, Qt::Key_Period},
    Key{48, XK_Tab, Qt::Key_Tab},
    Key{49, XK_space, Qt::Key_Space},
    Key{50, XK_grave, Qt::Key_QuoteLeft},
    Key{51, XK_BackSpace, Qt::Key_Backspace},
    Key{53, XK_Escape, Qt::Key_Escape},
    Key{64, XK_F17, Qt::Key_F17},
    Key{65, XK_KP_Decimal, 0},
    Key{67, XK_KP_Multiply, 0},
    Key{69, XK_KP_Add, 0},
    Key{71, XK_Clear, Qt::Key_Clear},
    Key{72, XF86XK_AudioRaiseVolume, Qt::Key_VolumeUp},
    Key{73, XF86XK_AudioLowerVolume, Qt::Key_VolumeDown},
    Key{74, XF86XK_AudioMute, Qt::Key_VolumeMute},
    Key{75, XK_KP_Divide, 0},
    Key{76, XK_KP_Enter, Qt::Key_Enter},
    Key{78, XK_KP_Subtract, 0},
    Key{79, XK_F18, Qt::Key_F18},
    Key{80, XK_F19, Qt::Key_F19},
    Key{81, XK_KP_Equal, 0},
    Key{82, XK_KP_0, 0},
    Key{83, XK_KP_1, 0},
    Key{84, XK_KP_2, 0},
    Key{85, XK_KP_3, 0},
    Key{86, XK_KP_4, 0},
    Key{87, XK_KP_5, 0},
    Key{88, XK_KP_6, 0},
    Key{89, XK_KP_7, 0},
    Key{90, XK_F20, Qt::Key_F20},
    Key{91, XK_KP_8, 0},
    Key{92, XK_KP_9, 0},
    Key{96, XK_F5, Qt::Key_F5},
    Key{97, XK_F6, Qt::Key_F6},
    Key{98, XK_F7, Qt::Key_F7},
    Key{99, XK_F3, Qt::Key_F3},
    Key{100, XK_F8, Qt::Key_F8},
    Key{101, XK_F9, Qt::Key_F9},
    Key{103, XK_F11, Qt::Key_F11},
    Key{105, XK_F13, Qt::Key_F13},
    Key{106, XK_F16, Qt::Key_F16},
    Key{107, XK_F14, Qt::Key_F14},
    Key{109, XK_F10, Qt::Key_F10},
    Key{111, XK_F12, Qt::Key_F12},
    Key{113, XK_F15, Qt::Key_F15},
    Key{114, XK_Insert, Qt::Key_Insert},  // Help sits where PC keyboards have Insert
    Key{115, XK_Home, Qt::Key_Home},
    Key{116, XK_Page_Up, Qt::Key_PageUp},
    Key{117, XK_Delete, Qt::Key_Delete},
    Key{118, XK_F4, Qt::Key_F4},
    Key{119, XK_End, Qt::Key_End},
    Key{120, XK_F2, Qt::Key_F2},
    Key{121, XK_Page_Down, Qt::Key_PageDown},
    Key{122, XK_F1, Qt::Key_F1},
    Key{123, XK_Left, Qt::Key_Left},
    Key{124, XK_Right, Qt::Key_Right},
    Key{125, XK_Down, Qt::Key_Down},
    Key{126, XK_Up, Qt::Key_Up},
};

// A key's keysyms by shift level; the keypad digits are on the second level.
constexpr int kLevelsSearched = 4;

template <typename Predicate>
const Key* find(Predicate predicate) {
    const auto* found = std::find_if(kKeys.begin(), kKeys.end(), predicate);
    return found == kKeys.end() ? nullptr : found;
}

using X11::connection;
std::optional<std::uint32_t> virtualKeyCodeForX11Keycode(xcb_connection_t* c,
                                                         xcb_keycode_t keycode) {
    const std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> symbols(
        xcb_key_symbols_alloc(c), &xcb_key_symbols_free);
    for (int level = 0; symbols && level < kLevelsSearched; ++level) {
        const xcb_keysym_t symbol = xcb_key_symbols_get_keysym(symbols.get(), keycode, level);
        if (const auto code = virtualKeyCodeForKeysym(symbol)) {
            return code;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint32_t> keysym(std::uint32_t virtualKeyCode) {
    const Key* key = find([&](const Key& k) { return k.virtualKeyCode == virtualKeyCode; });
    return key ? std::optional(key->keysym) : std::nullopt;
}

std::uint16_t xModifiers(std::uint32_t carbonModifiers) {
    std::uint16_t mask = 0;
    if (carbonModifiers & commandKey) {
        mask |= XCB_MOD_MASK_4;
    }
    if (carbonModifiers & shiftKey) {
        mask |= XCB_MOD_MASK_SHIFT;
    }
    if (carbonModifiers & optionKey) {
        mask |= XCB_MOD_MASK_1;
    }
    if (carbonModifiers & controlKey) {
        mask |= XCB_MOD_MASK_CONTROL;
    }
    return mask;
}

std::optional<std::uint32_t> virtualKeyCode(const QKeyEvent& event) {
    xcb_connection_t* c = connection();
    if (c && event.nativeScanCode() != 0) {
        return virtualKeyCodeForX11Keycode(c, static_cast<xcb_keycode_t>(event.nativeScanCode()));
    }
    return virtualKeyCodeForQtKey(event.key());
}

std::optional<std::uint32_t> virtualKeyCodeForKeysym(std::uint32_t keysym) {
    if (keysym >= XK_A && keysym <= XK_Z) {
        keysym += XK_a - XK_A;
    }
    const Key* key = find([&](const Key& k) { return k.keysym == keysym; });
    return key ? std::optional(key->virtualKeyCode) : std::nullopt;
}

std::optional<std::uint32_t> virtualKeyCodeForQtKey(int qtKey) {
    const Key* key = find([&](const Key& k) { return k.qtKey != 0 && k.qtKey == qtKey; });
    return key ? std::optional(key->virtualKeyCode) : std::nullopt;
}

}  // namespace framlet::VirtualKeyMap
