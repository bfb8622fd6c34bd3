#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

struct TPlacementPoint {
    int X = -1;
    int Y = -1;
};

// Left, top, right and bottom in pixels; right and bottom lie just outside the window.
struct TPlacementRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// Where the window manager keeps a window: its flags, its minimized and maximized positions and its normal
// (restored) outer rectangle.
struct TWindowPlacement {
    int Flags = 0;
    TPlacementPoint MinPosition;
    TPlacementPoint MaxPosition;
    TPlacementRect NormalPosition;
};

struct TScreenSize {
    int Width = 0;
    int Height = 0;
};

// A stored property's value: a text, an integer or a list of lines; its kind is the property's type.
using TStoredValue = std::variant<std::string, int32_t, std::vector<std::string>>;

// What the form storage needs of its window. The window implements it, so the storage knows neither the
// window's class nor its widgets.
class TStorableForm {
public:
    virtual ~TStorableForm() = default;

    virtual std::string FormName() const = 0;
    virtual TWindowPlacement Placement() const = 0;
    // Applies the placement before the window is first shown.
    virtual void SetPlacement(const TWindowPlacement& placement) = 0;
    virtual int ScreenPixelsPerInch() const = 0;
    virtual TScreenSize ScreenSize() const = 0;

    // The property's name as the component's type declares it, matched without regard to case; empty when
    // the window has no such component or the component no such property.
    virtual std::optional<std::string> PropertyName(const std::string& component,
                                                    const std::string& property) const = 0;
    virtual TStoredValue PropertyValue(const std::string& component, const std::string& property) const = 0;
    // A value of the property's own kind; the component applies its rules (a spin edit clamps).
    virtual void SetPropertyValue(const std::string& component, const std::string& property,
                                  const TStoredValue& value) = 0;
};
