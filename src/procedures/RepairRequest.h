// The repair request: interrogates a faulty EKLZ, collects every failure in
// a memo, and holds what the printed request form shows.
#pragma once

#include <string>

#include "codec/Regional.h"
#include "protocol/Particulars.h"
#include "protocol/Session.h"

namespace eklz {

// The repair-request panel without its widgets.
struct RepairRequestPanel {
  std::string numRequest = "1";        // "№ заявки"
  CalendarDate dateOfCheck = Today();  // "Дата проведения проверки"
  CalendarDate dateOfBroken;           // "Дата отказа"
  CalendarDate dateOfActivate;         // "Дата активизации" (shown, not printed)
  std::string serialNumEklz;           // "Заводской № ЭКЛЗ"
  std::string nameKkm;                 // "Тип ККМ" (shown, not printed)
  std::string serialNumKkm;            // "Заводской номер ККМ" (shown, not printed)
  std::string developmentFailure;      // "Внешнее проявление отказа:"
  std::string detectFailure;           // "Обнаружены неисправности:" (the failure memo)
  bool archiveTransferred = true;      // "Данные архива ЭКЛЗ ... перенесены"
  std::string failureToCarryOut;       // "Причина невыполнения переноса:"

  // Clears what a run fills in: the failure memo. What the operator typed
  // (the fault he saw, the EKLZ number, why the archive was not moved)
  // stays.
  void ClearForRun();
};

// The organisation that sends the request: its name and the full name of
// its head, as the front end's settings hold them (NameOrg, FioBoss).
struct RepairOrganisation {
  std::string name;
  std::string head;
};

// The value of a form variable, its name matched without regard to case:
// NumRequest, FactoryNum, DateOfActivate, ModelOfKKT, FacoryNumOfKKT,
// NameOfCTO, DateOfBroken, DateRequest, FIOBOSS, ArhivNotSend, M1, M2.
// The activation date, model and serial come from `kkm` (what the EKLZ
// told last), not from the panel's fields. An unknown name gives an empty text.
std::string RepairFormVariable(const KkmParticulars& kkm, const RepairOrganisation& organisation,
                               const RepairRequestPanel& panel, const std::string& name);

// The names of the twelve form variables in form order.
inline constexpr const char* kRepairFormVariables[] = {
    "NumRequest", "FactoryNum", "DateOfActivate", "ModelOfKKT", "FacoryNumOfKKT", "NameOfCTO",
    "DateOfBroken", "DateRequest", "FIOBOSS", "ArhivNotSend", "M1", "M2"};

// The version text as the sequence choice sees it: a NUL character and the
// four characters after it are removed.
std::string RepairVersionText(const std::string& version);

// Runs the interrogation: the version query, then sequence B for version
// "ver 3.0 01.2002 " and sequence A for any other. Every TEKLZException is
// appended to the failure memo after a line break and the run goes on; any
// other failure ends the run and leaves the panel's fields unfilled.
// `known` holds the particulars learned before the run; the activation
// result and the processor dump update them, the panel shows them and they
// are returned.
KkmParticulars RunRepairRequest(EklzSession& s, bool textForm, bool quiet, bool logExchange,
                                RepairRequestPanel& panel, const KkmParticulars& known = {});

}  // namespace eklz
