#pragma once

namespace framlet {

class ImagePreviewController;
class OlderMatches;
class ShelfActions;
class ThemePalette;

// What the shelf's view needs beyond its models, built once where the application starts.
struct ShelfServices {
    ShelfActions& actions;
    ImagePreviewController& preview;
    ThemePalette& theme;
    // The matches beyond the shelf, shown below its own while a query is typed; none without.
    OlderMatches* older = nullptr;
};

}  // namespace framlet
