#pragma once

#include "RecordingFileManager.h"

#include <QDir>
#include <QList>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QUrl>
#include <QUuid>
#include <memory>

#include "library/decoding/DecodeBudget.h"
#include "library/ocr/OCRService.h"
#include "library/store/ScreenshotStore.h"
#include "platform/Clipboard.h"
#include "platform/ColorScheme.h"
#include "platform/FileManager.h"
#include "platform/Trash.h"
#include "platform/UserDefaults.h"
#include "preferences/Settings.h"
#include "settings/ThemePalette.h"
#include "shelf/ImagePreviewController.h"
#include "shelf/SelectionModel.h"
#include "shelf/ShelfActions.h"
#include "shelf/ShelfServices.h"

#include <ostream>

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QUuid& id, std::ostream* out) {
    *out << id.toString(QUuid::WithoutBraces).left(8).toStdString();
}
inline void PrintTo(const QUrl& url, std::ostream* out) {
    *out << url.toString().toStdString();
}

namespace framlet::test {

// A Trash that moves only the files it is allowed to (by deleting them) and refuses the rest.
class PickyTrash : public Trash {
public:
    Result moveToTrash(const QList<QUrl>& urls) const override;
    QList<QUrl> refused;
};

class RecordingClipboard : public Clipboard {
public:
    void setImages(const QList<QImage>&, const QList<QUrl>&) override {}
    void setText(const QString& value) override { text = value; }
    void clear() override { text.clear(); }
    QString text;
};

// A shelf over a temporary folder, with its own preferences, a store whose text recognition
// answers only when the test says so, and actions over fake desktop services.
class ShelfFixture {
public:
    ShelfFixture();
    ~ShelfFixture();

    // Writes a small image file (into the fixture's folder unless given another) and puts it on
    // the shelf, newest first; its id.
    QUuid addShot(const QString& name, const QString& folder = {});
    QString path(const QString& name) const { return dir.filePath(name); }
    // Delivers recognised text for a file whose recognition is pending.
    void recognize(const QString& name, const QString& text);
    QUuid idOf(const QString& name) const;

    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath(QStringLiteral("defaults.json"))};
    Settings settings{defaults};
    DecodeBudget budget{DecodeBudget::processCapacity};
    // Its own, declared after the budget: destroyed first, it waits for decodes still holding it.
    QThreadPool thumbnails;
    QMap<QString, OCRService::Completion> pendingText;
    std::unique_ptr<ScreenshotStore> store;
    SelectionModel selection;
    PickyTrash trash;
    test::RecordingFileManager fileManager;
    RecordingClipboard clipboard;
    QStringList alerts;
    ShelfActions actions;
    ColorScheme colorScheme;
    ThemePalette theme{settings, colorScheme};
    ImagePreviewController preview{theme, budget};
    ShelfServices services() { return {actions, preview, theme}; }
};

}  // namespace framlet::test
