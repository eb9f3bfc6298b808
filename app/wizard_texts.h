// Every text the wizard shows the user, in one place: the pages' own texts and the texts the
// update run leaves in the main label. The service guide quotes them; a test holds it to them.
#pragma once

// The pages.
inline constexpr const char* kTitleRequirements = "Welcome to Tolvik Corvane Firmware Update";
inline constexpr const char* kTitleAddress = "Preparing for the update process";
inline constexpr const char* kMessageRequirements =
    "The Tolvik Firmware Wizard will guilde you through the following steps.";
inline constexpr const char* kMessageAddress =
    "Please enter the IP-address of your Corvane Hardware below and click next.";
inline constexpr const char* kInstructionRequirements =
    "Check the boxes and click next to continue.";
inline constexpr const char* kRequirementsNotConfirmed =
    "Please confirm the update requirements by clicking the checkboxes above!";
inline constexpr const char* kAddressBlank =
    "The IP field is empty! Please enter a valid IP address first.";
inline constexpr const char* kTitleRunning = "Update in Process ...";
inline constexpr const char* kMessageRunning =
    "The program is updating your Corvane hardware. This may take approximately one minute.";
inline constexpr const char* kInstructionRunning = "Don't power down your PC and the Corvane now.";
inline constexpr const char* kTitleFinished = "Update Process finished";
inline constexpr const char* kMessageFinished =
    "The latest version of the Corvane firmware has been successfully installed.";
inline constexpr const char* kTitleFailed = "Update Process failed...";
inline constexpr const char* kCaptionFinish = "&Finish";

// The texts the run leaves in the wizard's main label.
inline constexpr const char* TEXT_CONNECT_FAILED = "Couldn't connect to Corvane System";
inline constexpr const char* TEXT_TOO_OLD =
    "Your Corvane is too old for firmware update. Please contact Tolvik for an upgrade "
    "quotation.";
inline constexpr const char* TEXT_ALREADY_CURRENT =
    "You already have a newer/equal Firmware Version!";
inline constexpr const char* TEXT_READ_FAILED =
    "Couldn't read the parameters of your Corvane System. The firmware was not changed.";
inline constexpr const char* TEXT_BUSY =
    "Your Corvane is busy. Please wait until it has finished its current task, then start the "
    "update again. The firmware was not changed.";
inline constexpr const char* TEXT_UNKNOWN_ERROR =
    "Firmware update failed due to unknown error! Please contact Tolvik!";
// The run was broken off with the PLC in STOP, and RUN did not take (or the PLC was not the
// run's to start).
inline constexpr const char* TEXT_PLC_STOPPED =
    "The update was broken off and the PLC of your Corvane stays stopped. Please contact "
    "Tolvik!";
// The user chose not to write kept values the instrument does not show.
inline constexpr const char* TEXT_KEPT_DECLINED =
    "The kept parameters were not written, and nothing on your Corvane was changed.";
inline constexpr const char* TEXT_RESTORE_FAILED =
    "The firmware was installed, but the parameters could not be restored. Please contact "
    "Tolvik!";

// Added to the failure text when the run ended after a complete transfer without a confirmed
// restore: the wizard keeps what it saved, and a new run to the same instrument restores it.
// Short enough that the failure text and it fit the result page's three lines.
inline constexpr const char* TEXT_VALUES_KEPT =
    "Your parameters are kept while the wizard is open: press Back, then Next to restore them.";
// Asked before the wizard closes with kept parameters not yet restored; the list of them
// follows it, then kFinishKeptQuestionEnd.
inline constexpr const char* kFinishKeptQuestion =
    "The saved parameters of your Corvane have not been restored. They are lost when the "
    "wizard closes. Please write them down:";
inline constexpr const char* kFinishKeptQuestionEnd = "Close the wizard anyway?";
// Asked before a run writes values kept from an earlier run that the instrument at that address
// does not show: it may be another instrument. The kept set's listing follows it, then
// kKeptDifferQuestionEnd.
inline constexpr const char* kKeptDifferQuestion =
    "The Corvane at this address does not show the parameters this wizard kept for it. It may "
    "be another Corvane.";
inline constexpr const char* kKeptDifferQuestionEnd =
    "Write the kept parameters to the Corvane at this address?";

// Given to Windows while log-off or shutdown would lose something, as the reason the wizard
// holds it up.
inline constexpr const char* kShutdownBlockedRunning =
    "A firmware update is under way. Ending it now can leave your Corvane without working "
    "firmware.";
inline constexpr const char* kShutdownBlockedKept =
    "Parameters of your Corvane are kept by the wizard and not yet restored. They are lost when "
    "the wizard ends.";
