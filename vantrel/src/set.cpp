#include "vantrel/map/internal/sites.hpp"
#include "vantrel/set/internal/classes.hpp"

namespace vantrel::internal::set {

void gunfoldError() {
  hs::error("gunfold", siteIn("Vantrel.Set.Internal", "./Vantrel/Set/Internal", 234, 14, 234, 19));
}

const hs::data::DataType& hashSetDataType() {
  static const hs::data::DataType dt =
      hs::data::mkDataType("Vantrel.Set.Internal.HashSet", {hs::data::ConstrSpec("fromList")});
  return dt;
}

const hs::data::Constr& fromListConstr() {
  static const hs::data::Constr c =
      hs::data::mkConstr(hashSetDataType(), hs::Lazy<std::string>(std::string("fromList")),
                         hs::Lazy<std::vector<std::string>>(std::vector<std::string>{}),
                         hs::Lazy<hs::data::Fixity>(hs::data::Prefix));
  return c;
}

}  // namespace vantrel::internal::set
