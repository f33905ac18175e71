#include "onboarding/OnboardingView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "onboarding/FolderOptionRow.h"
#include "onboarding/OnboardingModel.h"
#include "preferences/Settings.h"
#include "shelf/SymbolView.h"
#include "shortcut/KeyCodeFormatter.h"
#include "shortcut/widgets/GnomeShortcutButton.h"

namespace framlet {
namespace {

using Step = OnboardingModel::Step;

const QColor kOrange(255, 149, 0);
const QColor kGreen(52, 199, 89);

QLabel* label(qreal scale, QFont::Weight weight = QFont::Normal) {
    auto* made = new QLabel;
    QFont font = made->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setWeight(weight);
    made->setFont(font);
    made->setWordWrap(true);
    made->setAlignment(Qt::AlignCenter);
    return made;
}

QLabel* secondary(QLabel* made) {
    made->setForegroundRole(QPalette::PlaceholderText);
    return made;
}

// The reassurance block's ground: the text colour, faint, in a rounded rectangle.
class FaintPanel : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = palette().color(QPalette::WindowText);
        fill.setAlphaF(0.045f);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 10, 10);
        painter.fillPath(shape, fill);
    }
};

QPushButton* largeButton(const QString& text) {
    auto* button = new QPushButton(text);
    button->setMinimumSize(160, 34);
    button->setDefault(true);
    return button;
}

}  // namespace

OnboardingView::OnboardingView(OnboardingModel& model, Settings& settings,
                               ShowFolder showInFileManager, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_settings(settings)
    , m_showInFileManager(std::move(showInFileManager))
    , m_stack(new QStackedLayout(this)) {
    addScreens();
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &OnboardingView::clickPrimary);
    }
    connect(&model, &OnboardingModel::stepChanged, this, &OnboardingView::refresh);
    connect(&model, &OnboardingModel::choiceChanged, this, &OnboardingView::refresh);
    connect(&settings, &Settings::hotKeyChanged, this, &OnboardingView::refresh);
    refresh();
    tintSymbols();
}

QString OnboardingView::displayPath(const QUrl& folder, const QString& home) {
    const QString path = folder.isLocalFile() ? folder.toLocalFile() : folder.toString();
    const QString root = QDir::cleanPath(home);
    // Only a whole leading home folder: "/home/al" is no part of "/home/alice".
    if (root.isEmpty() || root == u"/") {
        return path;
    }
    if (path == root) {
        return QStringLiteral("~");
    }
    if (path.startsWith(root + u'/')) {
        return u'~' + path.mid(root.size());
    }
    return path;
}

void OnboardingView::offerGnomeShortcut(HotKeyStatus& status) {
    const Screen& done = m_screens[int(Step::done)];
    auto* column = static_cast<QVBoxLayout*>(done.widget->layout());
    m_gnomeShortcut = new GnomeShortcutButton(status);
    column->insertWidget(column->indexOf(done.primary), m_gnomeShortcut, 0, Qt::AlignHCenter);
    column->insertSpacing(column->indexOf(done.primary), 8);
    m_gnomeShortcut->refresh();
}

QString OnboardingView::title() const {
    const Screen& screen = m_screens[int(m_model.step())];
    return screen.title ? screen.title->text() : QString();
}

QPushButton* OnboardingView::primaryButton() const {
    return m_screens[int(m_model.step())].primary;
}

void OnboardingView::addScreens() {
    const QColor accent;  // invalid: follows the palette's accent
    m_screens = {
        makeScreen({QStringLiteral("photo.on.rectangle.angled"), accent,
                    QStringLiteral("Welcome to Framlet")},
                   nullptr, QStringLiteral("Set Up")),
        makeScreen(
            {QStringLiteral("folder"), accent, QStringLiteral("Where your screenshots land")},
            makeFolderOptions(), QStringLiteral("Continue")),
        makeScreen({QStringLiteral("folder.badge.questionmark"), accent,
                    QStringLiteral("One permission, and it's the whole app")},
                   makeReassurance(), QStringLiteral("Continue")),
        Screen{makeChecking()},
        {},
        makeScreen({QStringLiteral("questionmark.folder"), kOrange,
                    QStringLiteral("That folder isn't there")},
                   nullptr, QStringLiteral("Choose Folder…")),
        makeScreen({QStringLiteral("checkmark.circle.fill"), kGreen,
                    QStringLiteral("Your shelf is ready")},
                   nullptr, QStringLiteral("Done")),
    };
    m_screens[int(Step::denied)] =
        makeScreen({QStringLiteral("lock.fill"), kOrange,
                    QStringLiteral("Framlet can't see your screenshots yet")},
                   nullptr, QString());
    Screen& denied = m_screens[int(Step::denied)];
    denied.widget->layout()->addWidget(makeFailureButtons(denied));

    m_screens[int(Step::welcome)].body->setText(
        QStringLiteral("You keep taking screenshots the way you always have. Framlet catches "
                       "every one — so you can search them and drag them anywhere."));
    m_screens[int(Step::chooseFolder)].body->setText(
        QStringLiteral("Framlet watches one folder and puts every new screenshot on your shelf. "
                       "This is where your screenshot tool saves them now."));
    m_screens[int(Step::denied)].body->setText(
        QStringLiteral("No access, no shelf — that folder really is the whole app. Give your "
                       "account read access to that folder, or point Framlet at the folder "
                       "yourself."));
    m_screens[int(Step::done)].caption->setText(
        QStringLiteral("Recent screenshots already in your folder will appear too."));

    connect(m_screens[int(Step::welcome)].primary, &QPushButton::clicked, this,
            [this] { m_model.setStep(Step::chooseFolder); });
    connect(m_screens[int(Step::chooseFolder)].primary, &QPushButton::clicked, &m_model,
            &OnboardingModel::confirmFolder);
    connect(m_screens[int(Step::explainAccess)].primary, &QPushButton::clicked, &m_model,
            &OnboardingModel::requestAccess);
    for (const Step step : {Step::denied, Step::missing}) {
        connect(m_screens[int(step)].primary, &QPushButton::clicked, &m_model,
                &OnboardingModel::chooseFolderManually);
    }
    connect(m_screens[int(Step::done)].primary, &QPushButton::clicked, &m_model,
            &OnboardingModel::finish);
    for (const Screen& screen : m_screens) {
        m_stack->addWidget(screen.widget);
    }
}

OnboardingView::Screen OnboardingView::makeScreen(const Look& look, QWidget* block,
                                                  const QString& primary) {
    Screen screen;
    screen.widget = new QWidget;
    auto* column = new QVBoxLayout(screen.widget);
    column->setContentsMargins(32, 32, 32, 32);
    column->setSpacing(0);
    column->addStretch(1);
    column->addWidget(symbol(look.symbol, 44, look.colour), 0, Qt::AlignHCenter);
    column->addSpacing(18);
    screen.title = label(1.45, QFont::DemiBold);
    screen.title->setText(look.title);
    column->addWidget(screen.title);
    column->addSpacing(10);
    screen.body = label(0.95);
    column->addWidget(screen.body);
    if (block) {
        column->addSpacing(16);
        column->addWidget(block);
    }
    column->addStretch(1);
    if (!primary.isEmpty()) {
        screen.primary = largeButton(primary);
        column->addWidget(screen.primary, 0, Qt::AlignHCenter);
    }
    column->addSpacing(12);
    screen.caption = secondary(label(0.8));
    column->addWidget(screen.caption);
    return screen;
}

QWidget* OnboardingView::makeFolderOptions() {
    auto* options = new QWidget;
    auto* column = new QVBoxLayout(options);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    m_detectedRow = new FolderOptionRow;
    m_detectedRow->setObjectName(QStringLiteral("detectedFolder"));
    m_customRow = new FolderOptionRow;
    m_customRow->setObjectName(QStringLiteral("customFolder"));
    column->addWidget(m_detectedRow);
    column->addWidget(m_customRow);
    connect(m_detectedRow, &QAbstractButton::clicked, this,
            [this] { m_model.select(OnboardingModel::FolderChoice::detected); });
    connect(m_customRow, &QAbstractButton::clicked, &m_model, &OnboardingModel::pickCustomFolder);
    return options;
}

QWidget* OnboardingView::makeReassurance() {
    auto* block = new FaintPanel;
    block->setObjectName(QStringLiteral("reassurance"));
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(7);
    for (const QString& line :
         {QStringLiteral("Framlet only ever reads your screenshots."),
          QStringLiteral("It never moves, edits, or deletes your files."),
          QStringLiteral("Nothing is uploaded — search happens entirely on your computer.")}) {
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        row->addWidget(symbol(QStringLiteral("checkmark.shield.fill"), 14, QColor()));
        QLabel* text = secondary(label(0.85));
        text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        text->setText(line);
        row->addWidget(text, 1);
        column->addLayout(row);
    }
    return block;
}

QWidget* OnboardingView::makeChecking() {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(32, 32, 32, 32);
    column->setSpacing(16);
    column->addStretch(1);
    auto* progress = new QProgressBar;
    progress->setRange(0, 0);  // indeterminate
    progress->setTextVisible(false);
    progress->setFixedWidth(160);
    column->addWidget(progress, 0, Qt::AlignHCenter);
    QLabel* waiting = secondary(label(1.0));
    waiting->setText(QStringLiteral("Waiting for permission…"));
    column->addWidget(waiting);
    column->addStretch(1);
    return page;
}

QWidget* OnboardingView::makeFailureButtons(Screen& screen) {
    auto* block = new QWidget;
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    screen.primary = largeButton(QStringLiteral("Choose Folder…"));
    column->addWidget(screen.primary, 0, Qt::AlignHCenter);
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    row->addStretch(1);
    auto* show = new QPushButton(QStringLiteral("Show in File Manager"));
    auto* retry = new QPushButton(QStringLiteral("Try Again"));
    for (QPushButton* small : {show, retry}) {
        small->setAutoDefault(false);
        QFont font = small->font();
        font.setPointSizeF(font.pointSizeF() * 0.85);
        small->setFont(font);
        row->addWidget(small);
    }
    row->addStretch(1);
    column->addLayout(row);
    // The user mends the folder's permissions there; this screen stays as it is.
    connect(show, &QPushButton::clicked, this, [this] {
        if (m_showInFileManager) {
            m_showInFileManager(m_model.folder());
        }
    });
    connect(retry, &QPushButton::clicked, &m_model, &OnboardingModel::requestAccess);
    // The block takes the place of the primary button at the foot of the screen.
    auto* layout = static_cast<QVBoxLayout*>(screen.widget->layout());
    layout->removeWidget(screen.caption);
    screen.caption->hide();
    screen.caption = nullptr;
    return block;
}

void OnboardingView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        tintSymbols();  // the accent moves with the theme
    }
}

SymbolView* OnboardingView::symbol(const QString& name, int size, const QColor& colour) {
    auto* view = new SymbolView(name, size);
    m_symbols.append({view, colour});
    return view;
}

// Each symbol in its own colour: a fixed one, or the accent of the palette the window follows.
void OnboardingView::tintSymbols() {
    for (const auto& [view, fixed] : std::as_const(m_symbols)) {
        QPalette palette = view->palette();
        palette.setColor(QPalette::WindowText,
                         fixed.isValid() ? fixed : this->palette().color(QPalette::Highlight));
        view->setPalette(palette);
    }
}

void OnboardingView::clickPrimary() {
    if (QPushButton* button = primaryButton(); button && button->isEnabled()) {
        button->click();
    }
}

QString OnboardingView::shortcutText() const {
    return KeyCodeFormatter::text(m_settings.hotKeyBinding());
}

void OnboardingView::refresh() {
    const QString shortcut = shortcutText();
    const QString folder = displayPath(m_model.folder());
    m_screens[int(Step::welcome)].caption->setText(QStringLiteral("Takes about 20 seconds.  ") +
                                                   shortcut +
                                                   QStringLiteral(" opens your shelf anytime."));
    m_screens[int(Step::explainAccess)].body->setText(
        QStringLiteral("To watch ") + folder +
        QStringLiteral(", Framlet needs permission to read it — that's what puts each new "
                       "screenshot on your shelf and makes it searchable.\n\nFramlet checks right "
                       "away that it can read it."));
    m_screens[int(Step::missing)].body->setText(
        QStringLiteral("Framlet looked for ") + folder +
        QStringLiteral(", but it doesn't exist. If you've changed where your screenshot tool "
                       "saves, point Framlet at the right folder."));
    m_screens[int(Step::done)].body->setText(
        QStringLiteral("Take a screenshot — Print Screen, like always — and it'll land right "
                       "here. Open the shelf from the tray or with ") +
        shortcut +
        QStringLiteral(", then drag any thumbnail straight into Slack, an email, or your file "
                       "manager."));

    const bool custom = m_model.choice() == OnboardingModel::FolderChoice::custom;
    m_detectedRow->setTexts(QStringLiteral("Your screenshot folder"),
                            displayPath(m_model.detectedFolder()));
    m_detectedRow->setSelected(!custom);
    const auto picked = m_model.customFolder();
    m_customRow->setTexts(
        picked ? QStringLiteral("Custom folder") : QStringLiteral("Choose a different folder…"),
        picked ? displayPath(*picked) : QStringLiteral("Pick any folder"));
    m_customRow->setSelected(custom);

    for (const Screen& screen : m_screens) {
        if (screen.caption) {
            screen.caption->setVisible(!screen.caption->text().isEmpty());
        }
    }
    m_stack->setCurrentIndex(int(m_model.step()));
}

}  // namespace framlet
