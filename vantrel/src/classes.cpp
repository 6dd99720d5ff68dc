#include "vantrel/map/internal/classes.hpp"

#include "vantrel/map/internal/compare.hpp"
#include "vantrel/map/internal/sites.hpp"

namespace vantrel::internal {

void cmpNeverError() {
  hs::error("cmp: Should never happen, leavesAndCollisions includes non Leaf / Collision",
            mapSite(489, 14, 489, 19));
}

void gunfoldError() { hs::error("gunfold", mapSite(335, 14, 335, 19)); }

const hs::data::DataType& hashMapDataType() {
  static const hs::data::DataType dt =
      hs::data::mkDataType("Vantrel.Map.Internal.HashMap", {hs::data::ConstrSpec("fromList")});
  return dt;
}

const hs::data::Constr& fromListConstr() {
  static const hs::data::Constr c =
      hs::data::mkConstr(hashMapDataType(), hs::Lazy<std::string>(std::string("fromList")),
                         hs::Lazy<std::vector<std::string>>(std::vector<std::string>{}),
                         hs::Lazy<hs::data::Fixity>(hs::data::Prefix));
  return c;
}

}  // namespace vantrel::internal
