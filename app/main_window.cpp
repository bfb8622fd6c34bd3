#include "app/main_window.h"

#include "app/action.h"
#include "app/action_list.h"
#include "app/escaped_errors.h"
#include "app/form_storage_window.h"
#include "app/labeled_edit.h"
#include "app/link_label.h"
#include "app/open_with_shell.h"
#include "app/option_table.h"
#include "app/save_dialog.h"
#include "app/save_glyph.h"
#include "app/spin_edit.h"
#include "app/state_line.h"
#include "app/test_cycle.h"
#include "core/platform.h"
#include "core/text_codec.h"
#include "log/csv_stream_format.h"
#include "log/mem_table.h"
#include "probe/outage_ledger.h"
#include "probe/probe.h"
#include "settings/app_ini_file_storage.h"
#include "settings/form_storage.h"
#include "view/data_grid.h"
#include "view/data_source.h"
#include "view/statistics_window.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace {
// The designed client area; the frame adds to it (657 x 410 outside on the system it was designed on).
constexpr int DesignedClientWidth = 649;
constexpr int DesignedClientHeight = 383;
constexpr int DesignedLeft = 307;
constexpr int DesignedTop = 107;
constexpr int PanelWidth = 349;
constexpr int GridMinimumWidth = 300;
// "MS Sans Serif" 8 pt: a character height of 11 pixels.
constexpr int FontPixelSize = 11;

const char* const CopyrightCaption = "© Quorvane team";

// The credit line opens the read-me installed with the program (a build tree keeps a copy at the same place
// beside its executable), so the address holds on every machine.
QString ReadmeAddress() {
    const QString exeDirectory = QFile::decodeName(QByteArray::fromStdString(ExecutableDirectory()));
    return QUrl::fromLocalFile(QDir::cleanPath(exeDirectory + QUORVANE_README_FROM_EXE)).toString();
}

// Where the designed face is missing, a face with the metrics of Arial keeps the captions in their bounds
// (the stock substitute is wider).
QString DesignedFontFamily() {
    for (const char* family :
         {"MS Sans Serif", "Microsoft Sans Serif", "Arial", "Liberation Sans", "Nimbus Sans"})
        if (QFontDatabase::hasFamily(family))
            return family;
    return "MS Sans Serif";
}

// Labels size themselves to their text: with the designed face that is exactly their designed size, with a
// substitute face they grow instead of cutting the caption off.
void FitToText(QLabel* label) {
    label->resize(label->size().expandedTo(label->sizeHint()));
}
} // namespace

TForm1::TForm1(QWidget* parent, const TCommandLine& commandLine)
    : QWidget(parent), TComponent(nullptr, "Form1") {
    setObjectName("Form1");
    setWindowTitle("Connection tester");
    QFont designed(DesignedFontFamily());
    designed.setPixelSize(FontPixelSize);
    setFont(designed);
    // The system's button-face colour; setting the background role instead would turn every label's text
    // into button text.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Button));
    setPalette(colours);

    CreatePanel();
    CreateEntries();
    CreateButtons();
    CreateLinkLabels();
    CreateActions();
    CreateLog();
    m_probe = std::make_unique<TProbe>(Name());
    m_testCycle = std::make_unique<TTestCycle>(TTestCycleParts{*this, *m_edDBName, *m_edUser, *m_edPassword,
                                                               *m_mSQL, *m_sePeriod, *m_seAmount, *m_btnStart,
                                                               *m_actStop, *m_MT, *m_SaveDialog1, *m_probe});
    ConnectEvents();
    SetTabOrder();

    resize(DesignedClientWidth, DesignedClientHeight);
    move(DesignedLeft, DesignedTop);

    m_AppIniFileStorage1 = std::make_unique<TAppIniFileStorage>(this, "AppIniFileStorage1");
    m_FormStorage1 = std::make_unique<TFormStorage>(this, "FormStorage1");
    m_FormStorageWindow = std::make_unique<TFormStorageWindow>(*this, *m_AppIniFileStorage1, *m_FormStorage1);
    RunCommand([&] { ReadRunSettings(commandLine); });
    auto* stateTimer = new QTimer(this);
    connect(stateTimer, &QTimer::timeout, this, [this] { ShowState(); });
    stateTimer->start(1000);
    ShowState();
}

// The options of the runs that the window has no control for: each from the command line, else from the
// settings file; a stored number out of range is brought into it, as the editors do.
void TForm1::ReadRunSettings(const TCommandLine& commandLine) {
    TAppIniFileStorage& settings = *m_AppIniFileStorage1;
    const auto text = [&](const TOption& option) {
        return commandLine.IsSet(option) ? commandLine.Value(option)
                                         : settings.GetString(SettingsPath(option), option.DefaultText);
    };
    const auto number = [&](const TOption& option) {
        return commandLine.IsSet(option)
                   ? commandLine.Number(option)
                   : Clamped(option, settings.GetInteger(SettingsPath(option), option.Default));
    };
    SetJournalPath(QString::fromStdString(text(Option::Journal)));
    m_testCycle->SetCallLimitSeconds(number(Option::CallLimit));
    m_testCycle->SetMetricsAddress(text(Option::Metrics), commandLine.Value(Option::Target));
    m_testCycle->SetMetricsUsersFile(text(Option::MetricsUsers));
}

// A new text lays the window out anew; the same text is left alone.
// At the window's designed size a long line is cut at its end, where the cause and the length are long
// past; the whole text is in the tooltip.
void TForm1::ShowState() {
    const QString text =
        StateLineText(m_testCycle->Ledger().State(), QString::fromStdString(m_testCycle->AttachTarget()));
    const QString shown = m_stateLine->fontMetrics().elidedText(text, Qt::ElideRight, m_stateLine->width());
    if (shown != m_stateLine->text())
        m_stateLine->setText(shown);
    if (text != m_stateLine->toolTip())
        m_stateLine->setToolTip(text);
}

TForm1::~TForm1() = default;

void TForm1::CreatePanel() {
    m_pnl1 = new QFrame(this);
    m_pnl1->setObjectName("pnl1");
    m_pnl1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_pnl1->setFixedWidth(PanelWidth);
    m_pnl1->setMinimumHeight(DesignedClientHeight);

    m_DataGrid1 = new TDataGrid(this, this, "DataGrid1");
    m_DataGrid1->setMinimumWidth(GridMinimumWidth);

    m_stateLine = new QLabel(this);
    m_stateLine->setObjectName("StateLine");
    m_stateLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long reason must not widen the window: the line is cut at the grid's width.
    m_stateLine->setMinimumWidth(1);
    m_stateLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_stateLine->setFixedHeight(m_stateLine->sizeHint().height());
    auto* gridColumn = new QVBoxLayout;
    gridColumn->setSpacing(0);
    gridColumn->addWidget(m_DataGrid1, 1);
    gridColumn->addWidget(m_stateLine);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_pnl1);
    layout->addLayout(gridColumn, 1);
}

QLabel* TForm1::CreateLabel(const QString& caption, const QRect& bounds) {
    auto* label = new QLabel(caption, m_pnl1);
    label->setGeometry(bounds);
    FitToText(label);
    return label;
}

void TForm1::CreateEntries() {
    const auto labelledEdit = [this](const char* name, const QString& caption, const QRect& bounds,
                                     int labelWidth) {
        auto* edit = new TLabeledEdit(caption, m_pnl1);
        edit->setObjectName(name);
        edit->EditLabel()->resize(labelWidth, 13);
        FitToText(edit->EditLabel());
        edit->SetBounds(bounds);
        return edit;
    };
    m_edDBName = labelledEdit("edDBName", "Database", {20, 24, 305, 21}, 46);
    // The editor's own limit would cut a longer name silently; the connection refuses one it cannot send.
    m_edDBName->setMaxLength(std::numeric_limits<int>::max());
    m_edUser = labelledEdit("edUser", "User", {20, 68, 125, 21}, 22);
    m_edUser->setText(Option::User.DefaultText);
    m_edPassword = labelledEdit("edPassword", "Password", {20, 108, 125, 21}, 46);
    m_edPassword->setEchoMode(QLineEdit::Password);
    // The stock mask character differs between styles; the tool shows "*".
    m_edPassword->setStyleSheet("lineedit-password-character: 42");

    // The editors hold what the options of a run without a window allow.
    const auto spinEdit = [this](const char* name, const QRect& bounds, const TOption& option) {
        auto* edit = new TSpinEdit(m_pnl1);
        edit->setObjectName(name);
        edit->setGeometry(bounds);
        edit->SetMinValue(option.Least);
        edit->SetMaxValue(option.Most);
        edit->SetValue(option.Default);
        return edit;
    };
    m_lbl1 = CreateLabel("Period (sec)", {20, 144, 56, 13});
    m_sePeriod = spinEdit("sePeriod", {108, 140, 121, 22}, Option::Period);
    m_lbl2 = CreateLabel("Amount queries", {20, 168, 73, 13});
    m_seAmount = spinEdit("seAmount", {108, 164, 121, 22}, Option::Amount);
    m_lbl3 = CreateLabel("SQL", {20, 192, 21, 13});

    m_mSQL = new QPlainTextEdit(m_pnl1);
    m_mSQL->setObjectName("mSQL");
    m_mSQL->setGeometry(20, 212, 309, 89);
    m_mSQL->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_mSQL->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_mSQL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_mSQL->setTabChangesFocus(true);
    m_mSQL->setPlainText(Option::Sql.DefaultText);
}

void TForm1::CreateButtons() {
    const auto button = [this](const char* name, const QString& caption, int left) {
        auto* pushButton = new QPushButton(caption, m_pnl1);
        pushButton->setObjectName(name);
        pushButton->setGeometry(left, 312, 75, 25);
        return pushButton;
    };
    m_btnStart = button("btnStart", "Start", 20);
    m_btnStop = button("btnStop", QString(), 108);
    m_btnSave = button("btnSave", "Save", 256);
    m_btnSave->setIcon(SaveGlyph());
    m_btnSave->setIconSize(QSize(17, 17));
}

void TForm1::CreateLinkLabels() {
    const auto linkLabel = [this](const char* name, const QString& caption, const QRect& bounds,
                                  const QString& address) {
        auto* label = new TLinkLabel(m_pnl1);
        label->setObjectName(name);
        label->setText(caption);
        label->setGeometry(bounds);
        label->resize(bounds.width(), std::max(bounds.height(), label->sizeHint().height()));
        label->SetHint(address);
        label->OnClick = [this](TLinkLabel* sender) {
            RunCommand([this, sender] { lblCopyrightClick(sender); });
        };
        return label;
    };
    m_lblCopyright = linkLabel("lblCopyright", QString::fromUtf8(CopyrightCaption), {226, 344, 103, 13}, ReadmeAddress());
    // The project's page, shown as its host name.
    const QString page = QUORVANE_PROJECT_PAGE;
    m_lblTessmark = linkLabel("lblTessmark", QUrl(page).host(), {240, 360, 89, 13}, page);
}

void TForm1::CreateActions() {
    m_ActionList1 = std::make_unique<TActionList>(this, "ActionList1");
    m_actStop = std::make_unique<TAction>(m_ActionList1.get(), "actStop", "Stop");
    m_actStop->BindButton(m_btnStop);
    m_SaveDialog1 = std::make_unique<TSaveDialog>(this);
}

void TForm1::CreateLog() {
    m_CsvStreamFormat1 = std::make_unique<TCsvStreamFormat>(this, "CsvStreamFormat1");
    m_CsvStreamFormat1->SetCSVFieldDelimiter('\t');
    m_CsvStreamFormat1->SetCSVQuote('"');
    m_MT = std::make_unique<TMemTable>(this, "MT");
    m_MT->SetDefaultFormat(m_CsvStreamFormat1.get());
    m_ds1 = std::make_unique<TDataSource>(this, "ds1");
    m_ds1->SetDataSet(m_MT.get());
    m_DataGrid1->SetDataSource(m_ds1.get());
    m_statistics = std::make_unique<TStatisticsWindow>(*m_MT, this);
    m_statistics->SetOutageSource([this] { return m_testCycle->Ledger().Report(); });
    m_statistics->AttachTo(*m_DataGrid1, [this](QMenu& menu) { AddJournalEntries(menu); });
}

void TForm1::ConnectEvents() {
    TTestCycle* cycle = m_testCycle.get();
    connect(m_btnStart, &QPushButton::clicked, this,
            [this, cycle] { RunCommand([cycle] { cycle->btnStartClick(); }); });
    connect(m_btnStop, &QPushButton::clicked, this, [this] { RunCommand([this] { m_actStop->Execute(); }); });
    connect(m_btnSave, &QPushButton::clicked, this,
            [this, cycle] { RunCommand([cycle] { cycle->btnSaveClick(); }); });
    m_actStop->OnExecute = [cycle](TAction*) { cycle->actStopExecute(); };
    m_ActionList1->OnUpdate = [cycle](TAction* action, bool& handled) {
        cycle->ActionList1Update(action, handled);
    };
    UpdateActionsWhenIdle();
}

// The enabling rule runs whenever the application has handled its pending events and is about to wait, as
// long as the window is visible and enabled; and before every action executes.
void TForm1::UpdateActionsWhenIdle() {
    m_ActionList1->UpdateAction(m_actStop.get());
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this, [this] {
        if (isVisible() && isEnabled())
            m_ActionList1->UpdateAction(m_actStop.get());
    });
}

void TForm1::SetTabOrder() {
    // The memo comes before the spin edits although it lies below them; the grid follows the panel.
    QWidget* const chain[] = {m_edDBName, m_edUser,   m_edPassword, m_mSQL,    m_sePeriod,
                              m_seAmount, m_btnStart, m_btnStop,    m_btnSave, m_DataGrid1};
    for (size_t i = 0; i + 1 < std::size(chain); ++i)
        setTabOrder(chain[i], chain[i + 1]);
}

void TForm1::RunCommand(const std::function<void()>& command) {
    RunShowingErrors(this, command);
}

void TForm1::lblCopyrightClick(TLinkLabel* sender) {
    OpenWithShell(this, ToCp1251(sender->Hint()));
}

void TForm1::SetJournalPath(const QString& path) { m_testCycle->SetJournalPath(path.toStdString()); }

QString TForm1::JournalPath() const { return QString::fromStdString(m_testCycle->JournalPath()); }

void TForm1::AddJournalEntries(QMenu& menu) {
    menu.addSeparator();
    QAction* keep = menu.addAction("Keep a journal...", this, [this] { RunCommand([this] { ChooseJournal(); }); });
    keep->setCheckable(true);
    keep->setChecked(!JournalPath().isEmpty());
    if (!JournalPath().isEmpty()) {
        keep->setToolTip(JournalPath());
        menu.addAction("Stop keeping a journal", this, [this] { RunCommand([this] { StopJournal(); }); });
    }
}

// Each Start makes a file of its own from the chosen name, so there is nothing to replace.
void TForm1::ChooseJournal() {
    QFileDialog dialog(this);
    dialog.setObjectName("JournalDialog");
    dialog.setWindowTitle("Keep a journal");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters({"Tab-separated files (*.tsv)", "All files (*.*)"});
    dialog.setDefaultSuffix("tsv");
    if (!JournalPath().isEmpty())
        dialog.selectFile(JournalPath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    RememberJournalPath(dialog.selectedFiles().front());
}

void TForm1::StopJournal() { RememberJournalPath(QString()); }

void TForm1::RememberJournalPath(const QString& path) {
    SetJournalPath(path);
    if (path.isEmpty())
        m_AppIniFileStorage1->RemoveValue(SettingsPath(Option::Journal));
    else
        m_AppIniFileStorage1->SetString(SettingsPath(Option::Journal), path.toStdString());
}
