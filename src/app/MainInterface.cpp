#include "app/MainInterface.h"

#include "app/AppController.h"
#include "app/CustomWindow.h"
#include "app/ElidingLabel.h"
#include "app/PanelKeyBindings.h"
#include "app/TaviskBgndView.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/RegularFile.h"
#include "platform/widgets/Application.h"

#include "ui_MainInterface.h"

#include <QAbstractItemView>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QTableView>
#include <QVBoxLayout>

namespace quorvel {

namespace {

// The panel's size is the background image's.
const QRect panelRect(0, 0, 680, 440);
// A titled, closable window as a designer would ask for; the panel ignores it and stays borderless.
constexpr unsigned titledClosableStyle = 1u | 2u;
constexpr int bufferedBacking = 2;

QString panelStyleSheet()
{
    const QString path = Bundle::mainBundle().pathForResource(QStringLiteral("panel"), QStringLiteral("qss"));
    const std::optional<QByteArray> sheet = RegularFile::readAll(path);
    if (!sheet)
        return {};
    // Images named in the sheet lie beside it.
    return QString::fromUtf8(*sheet).replace(QStringLiteral("@RESOURCES@"), QFileInfo(path).absolutePath());
}

} // namespace

std::unique_ptr<MainInterface> MainInterface::load()
{
    if (!AppController::initialize())
        return nullptr;
    return std::unique_ptr<MainInterface>(new MainInterface);
}

MainInterface::MainInterface()
    : panel(std::make_unique<CustomWindow>(panelRect, titledClosableStyle, bufferedBacking, true))
    , ui(std::make_unique<Ui::MainInterface>())
{
    panel->setWindowTitle(QStringLiteral("Quorvel Launcher"));
    // Both before the controls exist. The level changes the window's flags, which makes the
    // toolkit apply the style sheet to every control again; set now, it stays as it is when the
    // panel is shown. A style sheet set after the controls goes through all of them once more.
    panel->setLevel(AppController::panelWindowLevel);
    panel->setStyleSheet(panelStyleSheet());
    background = new TaviskBgndView(panel.get());
    auto* layout = new QVBoxLayout(panel.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(background);
    auto* content = new QWidget(background);
    ui->setupUi(content);
    deferKeysHelp();
    content->setAttribute(Qt::WA_TranslucentBackground);
    auto* backgroundLayout = new QVBoxLayout(background);
    backgroundLayout->setContentsMargins(0, 0, 0, 0);
    backgroundLayout->addWidget(content);
    ui->combinedTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->progressIndicator->hide();
    // A screen reader reads the modes' pop-up list out when it opens.
    ui->combinedMatchingModePopUp->view()->setAccessibleName(QStringLiteral("Matching modes"));
    // A long name or path never moves the layout: two lines at most, then elided; the tool tips
    // hold them whole. The end of a path (the file's own name) is worth more than its middle.
    ui->combinedOutputTextField->setMaximumLineCount(2);
    ui->combinedPathNameTextField->setMaximumLineCount(2);
    ui->combinedPathNameTextField->setElideMode(Qt::ElideMiddle);
    ui->statusField->setElideMode(Qt::ElideMiddle);
    buildDockMenu();

    appController = std::make_unique<AppController>();
    connectOutlets();
    connectPanel();
    appController->awakeFromNib();
}

MainInterface::~MainInterface()
{
    // The controller goes before the controls and the menu it points at.
    appController.reset();
}

void MainInterface::connectOutlets()
{
    AppController::Outlets outlets;
    outlets.combinedFileTypeImageView = ui->combinedFileTypeImageView;
    outlets.combinedResultsCountTextField = ui->combinedResultsCountTextField;
    outlets.combinedInputTextField = ui->combinedInputTextField;
    outlets.combinedOutputTextField = ui->combinedOutputTextField;
    outlets.combinedImageView = ui->combinedImageView;
    outlets.combinedLaunchButton = ui->combinedLaunchButton;
    outlets.combinedTable = ui->combinedTable;
    outlets.combinedPathNameTextField = ui->combinedPathNameTextField;
    outlets.combinedMatchingModePopUp = ui->combinedMatchingModePopUp;
    outlets.tabView = ui->tabView;
    outlets.window = panel.get();
    outlets.statusField = ui->statusField;
    outlets.progressIndicator = ui->progressIndicator;
    outlets.startScanButton = ui->startScanButton;
    outlets.dockMenu = dockMenu.get();
    appController->setOutlets(outlets);
}

// Every signal connection between the panel's controls and the controller. They are made before
// launching finishes; nothing reports an edit or a tab change until the panel is first shown.
void MainInterface::connectPanel()
{
    AppController* controller = appController.get();
    const auto on = [controller](auto* sender, auto signal, void (AppController::*command)()) {
        QObject::connect(sender, signal, controller, [controller, command] { (controller->*command)(); });
    };
    // Only the user's edits filter: setting the field's text from code reports no edit.
    on(ui->combinedInputTextField, &QLineEdit::textEdited, &AppController::controlTextDidChange);
    // A mode chosen with the mouse filters again at once.
    on(ui->combinedMatchingModePopUp, &QComboBox::activated, &AppController::refreshInteractiveList);
    QObject::connect(ui->tabView, &QTabWidget::currentChanged, controller,
        [controller](int index) { controller->tabViewDidSelectTabViewItem(index); });
    on(ui->combinedTable, &QTableView::doubleClicked, &AppController::tableDoubleClick);
    // This one waits: the table makes its selection model when it gets its data source, which the
    // controller gives it when the first list is shown.
    QTableView* table = ui->combinedTable;
    QObject::connect(
        controller, &AppController::tableGotItsModel, controller,
        [on, table] {
            on(table->selectionModel(), &QItemSelectionModel::selectionChanged,
                &AppController::tableViewSelectionDidChange);
        },
        Qt::SingleShotConnection);
    on(ui->combinedLaunchButton, &QPushButton::clicked, &AppController::launch);
    on(ui->startScanButton, &QPushButton::clicked, &AppController::scanNow);
    on(ui->actionPreferences, &QAction::triggered, &AppController::configure);
    on(ui->actionScanNow, &QAction::triggered, &AppController::scanNow);
    on(ui->actionVisitWebSite, &QAction::triggered, &AppController::visitWebSite);
    on(ui->actionShowManual, &QAction::triggered, &AppController::showManual);
    on(ui->actionShowUninstallationHelp, &QAction::triggered, &AppController::showUninstallationHelp);
    on(ui->actionChangeHotKey, &QAction::triggered, &AppController::changeHotKey);
    on(ui->actionToggleUIMode, &QAction::triggered, &AppController::toggleUIMode);
    QObject::connect(ui->actionQuit, &QAction::triggered, controller,
        [] { Application::sharedApplication().terminate(); });
    new PanelKeyBindings(panel.get(), controller, ui->menuButton);
}

// The keys tab's table gets its text when the tab is first chosen. A word-wrapped rich text is
// the costliest layout of the panel, and the tab widget would lay it out for its size before the
// panel's first frame, which shows the search tab.
void MainInterface::deferKeysHelp()
{
    QLabel* label = ui->keysHelp;
    QWidget* tab = ui->keysTab;
    QTabWidget* tabs = ui->tabView;
    const QString text = label->text();
    label->clear();
    QObject::connect(tabs, &QTabWidget::currentChanged, label, [label, tab, tabs, text] {
        if (tabs->currentWidget() == tab && label->text().isEmpty())
            label->setText(text);
    });
}

// Every command of the launcher, in one menu: the panel's menu button shows it in every mode,
// and the status item shows it in the menu-bar-only mode. The keys are written into the items'
// texts only; the panel's key bindings act on them, so no key runs a command twice.
void MainInterface::buildDockMenu()
{
    dockMenu = std::make_unique<QMenu>();
    dockMenu->addAction(ui->actionPreferences);
    dockMenu->addAction(ui->actionScanNow);
    dockMenu->addSeparator();
    dockMenu->addAction(ui->actionVisitWebSite);
    dockMenu->addAction(ui->actionShowManual);
    dockMenu->addAction(ui->actionShowUninstallationHelp);
    dockMenu->addSeparator();
    dockMenu->addAction(ui->actionChangeHotKey);
    dockMenu->addAction(ui->actionToggleUIMode);
    dockMenu->addSeparator();
    dockMenu->addAction(ui->actionQuit);
    ui->menuButton->setMenu(dockMenu.get());
}

} // namespace quorvel
