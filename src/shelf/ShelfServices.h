#pragma once

namespace framlet {

class ImagePreviewController;
class ShelfActions;
class ThemePalette;

// What the shelf's view needs beyond its models, built once where the application starts.
struct ShelfServices {
    ShelfActions& actions;
    ImagePreviewController& preview;
    ThemePalette& theme;
};

}  // namespace framlet
