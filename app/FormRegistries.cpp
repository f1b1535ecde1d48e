// The window's registry: the chooser (Ctrl+O), the switch to another registry
// without a restart, and the title naming the registry open.
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/RegistryChooser.h"
#include "app/RegistrySession.h"
#include "prefixes/RegistryFinder.h"
#include "prefixes/Settings.h"
#include "widgets/QtText.h"
#include "widgets/TButton.h"
#include "widgets/TTreeNode.h"
#include "widgets/TTreeView.h"

#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace {

// A stopped search unwinds through the message loop; the chooser waits for it
// this long at a time.
constexpr int kUnwindWaitMs = 50;

QString titleFor(const std::string &registryName)
{
    if (registryName.empty()) return QStringLiteral("Quarnel");
    return QStringLiteral("Quarnel \u2014 ") + toQt(registryName);
}

} // namespace

void TRegForm::SetRegistrySession(RegistrySession *session, const std::string &registryName)
{
    m_registrySession = session;
    setWindowTitle(titleFor(registryName));
}

void TRegForm::OpenRegistryClick()
{
    // The registry must not go from under a walk: a running search is stopped
    // first, and the chooser comes once its handler has returned.
    if (SearchRunning() || Button1->isCancel()) {
        if (Button1->isCancel()) StopSearchRun();
        QTimer::singleShot(kUnwindWaitMs, this, &TRegForm::OpenRegistryClick);
        return;
    }
    using namespace quarnel::prefixes;
    const Settings settings = Settings::load(Settings::defaultPath());
    RegistryChooser chooser(findRegistriesOnThisMachine(), settings.recentRegistries(),
                            AllRegistriesCounter(), this);
    if (chooser.exec() != QDialog::Accepted) return;
    SwitchRegistry(chooser.chosen(), chooser.searchText());
}

bool TRegForm::SwitchRegistry(const quarnel::prefixes::FoundRegistry &registry,
                              const std::string &searchText)
{
    using namespace quarnel::prefixes;
    if (!m_registrySession) return false;
    // Nothing of the registry before may be read once it is gone.
    ResetRegistryViews();
    if (!m_registrySession->switchTo(sourceKindOf(registry), registry.folder))
        return false;              // the registry before is open again, with its Ctrl+Z history
    m_undoHistory = UndoHistory(); // its undo files belong to the registry before
    setWindowTitle(titleFor(RegistrySession::isDefaultRegistry(registry.folder) ? std::string()
                                                                                : registry.name));
    if (const std::string path = Settings::defaultPath(); !path.empty()) {
        Settings settings = Settings::load(path);
        settings.noteOpened(registry.id);
        std::string error;
        settings.save(error); // the list of recent registries is a convenience: no box for it
    }
    m_registrySession->showOpeningMessage();
    if (!searchText.empty()) {
        Edit1->setText(toQt(searchText));
        Button1Click();
    }
    return true;
}

void TRegForm::ResetRegistryViews()
{
    TTreeNode *top = RegTV->topLevelNode(0);
    RegTV->selectNode(top); // empties the value list
    for (TTreeNode *root : RootNodes) {
        if (!root) continue;
        if (RegTV->isNodeExpanded(root)) RegTV->collapseNode(root);
        RegTV->removeChildren(root);
        RegTV->setHasChildren(root, true);
    }
    ClearFoundRows();
    RefreshCounter();
    lb1->clear();
}
