#include "db/Components.h"

#include "resources/Resources.h"
#include "base/Text.h"

namespace kurdb::db {
namespace {

using Type = ColumnDef::Type;
using DataType = ProcParam::DataType;
using Direction = ProcParam::Direction;

std::vector<std::string> Sql(std::string_view component) {
    return ResourceLines("sql/" + std::string(component) + ".sql");
}

ProcParam Result() {
    return {"Result", DataType::Int32, Direction::Result, {}};
}
ProcParam Input(std::string name) {
    return {std::move(name), DataType::String, Direction::Input, {}};
}

}  // namespace

std::vector<std::string> ResourceLines(std::string_view resource) {
    std::vector<std::string> lines;
    for (const kurdb::text::TextLine& line : kurdb::text::SplitLines(
             resources::Find(resource), kurdb::text::LineBreaks::Lf, kurdb::text::FinalBreak::EndsText))
        lines.emplace_back(line.text);
    return lines;
}

Components::Components(std::unique_ptr<OdbcEngine> engine, std::unique_ptr<IEngine> versionEngine)
    : engine_(std::move(engine)),
      versionEngine_(std::move(versionEngine)),
      dbFirma("dbFirma", *engine_, versionEngine_ ? *versionEngine_ : *engine_),
      QFirmaDB("QFirmaDB", &dbFirma, Sql("QFirmaDB"), {{"name", Type::String, 255}}),
      QCreateFirmaDB("QCreateFirmaDB", &dbFirma, Sql("QCreateFirmaDB")),
      QCreateFirmalar("QCreateFirmalar", &dbFirma, Sql("QCreateFirmalar")),
      QCreateModulGun("QCreateModulGun", &dbFirma, Sql("QCreateModulGun")),
      QUserBul("QUserBul", &dbFirma, Sql("QUserBul"), {{"VAR", Type::Int32, 0}}, {"Uadi"}),
      QFirmaOku("QFirmaOku", &dbFirma, Sql("QFirmaOku"), {{"OKUR", Type::Int32, 0}}),
      QFirmaTam("QFirmaTam", &dbFirma, Sql("QFirmaTam"),
                {{"FIRMALAR", Type::Int32, 0},
                 {"MODUL", Type::Int32, 0},
                 {"SEMA", Type::Int32, 0},
                 {"KULLANICI", Type::Int32, 0}}),
      Query1("Query1", &dbFirma, {}),
      QTarso("QTarso", nullptr, Sql("QTarso")),
      StoredProcAdLog(
          "StoredProcAdLog", &dbFirma, "dbo.sp_addlogin",
          {Result(), Input("@loginame"), Input("@passwd"), Input("@defdb"), Input("@deflanguage")}),
      StoredProcDil("StoredProcDil", &dbFirma, "dbo.sp_defaultlanguage ",
                    {Result(), Input("@loginame"), Input("@language")}),
      StoredPrAdSvrRol("StoredPrAdSvrRol", &dbFirma, "dbo.sp_addsrvrolemember",
                       {Result(), Input("@loginame"), Input("@rolename")}) {}

}  // namespace kurdb::db
