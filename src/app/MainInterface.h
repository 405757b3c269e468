#pragma once
// The main interface: the panel window with its background and controls (from MainInterface.ui),
// the controller, and the connections between them. Loading it is the launcher's start-up up to
// the event loop.

#include <memory>

class QMenu;

namespace Ui {
class MainInterface;
}

namespace quorvel {

class AppController;
class CustomWindow;
class PanelKeyBindings;
class TaviskBgndView;

class MainInterface final {
public:
    // Runs the controller's class initialisation, then creates the panel and the controller and
    // connects them. Answers nothing when the application must quit instead.
    static std::unique_ptr<MainInterface> load();
    ~MainInterface();

    AppController& controller() const { return *appController; }
    CustomWindow& window() const { return *panel; }
    Ui::MainInterface& controls() const { return *ui; }
    QMenu& menu() const { return *dockMenu; }

private:
    MainInterface();
    void connectOutlets();
    // Every signal connection of the panel, in one place.
    void connectPanel();
    void buildDockMenu();
    void deferKeysHelp();

    std::unique_ptr<CustomWindow> panel;
    TaviskBgndView* background = nullptr; // owned by the panel
    std::unique_ptr<Ui::MainInterface> ui;
    std::unique_ptr<QMenu> dockMenu;
    std::unique_ptr<AppController> appController;
};

} // namespace quorvel
