#pragma once
// The context properties the system itself knows by name. The context definition of a
// configuration declares them; each line says who writes the property and who reads it.
// Names are compared exactly (case-sensitive).
namespace ctx {

// INT. Event of the screen or service: written by the screens (buttons), the services and the
// frame (from NextState); read and cleared by the engine. -1 ends the run.
inline constexpr char kLastEvent[] = "LastEvent";
// INT. State left by the last transition: written by the engine; read by services for "Back".
inline constexpr char kLastState[] = "LastState";
// INT. An event a service asks for on the next pass: written by services; the frame moves it
// into LastEvent.
inline constexpr char kNextState[] = "NextState";
// STRING. Screen a service asks for: written by services; read and cleared by the frame.
inline constexpr char kGui[] = "Gui";
// STRING. Name of the current state: written by services; read by the screens (profile
// sections, per-state save rules).
inline constexpr char kNameState[] = "NameState";
// STRING. Directory prefix of the screen files: written by services; read by the frame and
// the screens.
inline constexpr char kPathGui[] = "PathGui";
// STRING. "ID_LANG" + language index: written by the language screens; read by the screens,
// the start-up translation loading and the country save.
inline constexpr char kIdLang[] = "ID_LANG";
// INT. Keyboard layout 1-24: written by services and corrected by the keyboard screen; read by
// the keyboard screen.
inline constexpr char kKeyboardIndex[] = "KeyboardIndex";
// STRING, several occurrences. "[FAMILY:TYPE]" entries: written by the configuration's
// services; read by the PC model save.
inline constexpr char kPcModelTypeMatching[] = "PCModelTypeMatching";
// STRING. Model type of the workstation: written by the PC model save; read by the connection
// screens (picture names) and services.
inline constexpr char kPcModelType[] = "PCModelType";
// INT. Result of the analysis step (0 success): written by services; read by the end screen.
inline constexpr char kAnalyseState[] = "AnalyseState";
// STRING. Two-letter country code: written by the country save; read by services.
inline constexpr char kCodePays[] = "CodePays";
// INT. Chosen installation type: written by the installation-type screens; read by services.
inline constexpr char kInstallationType[] = "InstallationType";
// INT. Chosen brand: written by the brand screen; read by services.
inline constexpr char kTradeMark[] = "TradeMark";
// STRING. Kiosk model: "standard", set by the setup service before the kiosk screen, or
// "others" when a kiosk other than the first is chosen, written by the kiosk screen; read by
// the setup service (the results of the run).
inline constexpr char kTypeBorne[] = "TypeBorne";
// The choice button pushed last on each choice screen, where the configuration keeps it.
inline constexpr char kAskKeyboardButton[] = "AskKeyboardButton";
inline constexpr char kInstallationTypeButton[] = "InstallationTypeButton";
inline constexpr char kTradeMarkButton[] = "TradeMarkButton";
inline constexpr char kPcModelButton[] = "PCModelButton";
inline constexpr char kBorneButton[] = "BorneButton";
// VOID. The caption of that button, for the summary before the apply.
inline constexpr char kInstallationTypeLabel[] = "InstallationTypeLabel";
inline constexpr char kTradeMarkLabel[] = "TradeMarkLabel";
inline constexpr char kPcModelLabel[] = "PCModelLabel";
inline constexpr char kBorneLabel[] = "BorneLabel";
// VOID. What the summary shows besides the captions: written by services and the screens'
// generic save.
inline constexpr char kKeyboardLabel[] = "KeyboardLabel";
inline constexpr char kProxyHost[] = "ProxyHost";
inline constexpr char kProxyPort[] = "ProxyPort";
inline constexpr char kRaisonSociale[] = "RaisonSociale";
inline constexpr char kAdresse[] = "Adresse";
inline constexpr char kCodePostal[] = "CodePostal";
inline constexpr char kVille[] = "Ville";
// The stepwise apply: the step running (a translation ID), its number and the number of steps,
// and the step that failed (empty when none did). Written by the apply's services; read by the
// progress and end screens.
inline constexpr char kApplyStep[] = "ApplyStep";
inline constexpr char kApplyStepNumber[] = "ApplyStepNumber";
inline constexpr char kApplyStepCount[] = "ApplyStepCount";
inline constexpr char kApplyFailedStep[] = "ApplyFailedStep";
// INT, several occurrences. 1 marks a field invalid: written by services that check entries;
// read by the proxy, account and point-of-sale screens (labels in red).
inline constexpr char kProxyInvalidData[] = "ProxyInvalidData";
inline constexpr char kPpsInvalidData[] = "PPSInvalidData";
inline constexpr char kPdvInvalidData[] = "PdvInvalidData";
// STRING. Translation ID of the line that says what is wrong with the first invalid entry,
// empty when all are valid: written by the setup service's checks; for the screens to show.
inline constexpr char kInvalidReason[] = "InvalidReason";
// INT. Edit control ID of that entry, 0 when all are valid: written with InvalidReason; for
// the screens to put the focus on.
inline constexpr char kInvalidField[] = "InvalidField";
// VOID. Label text of the workstation's language: written by services; read on "GeneralInfo".
inline constexpr char kKsoLabel[] = "KSOLabel";

}  // namespace ctx
