#include "analysis/analysisstate.h"

#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"

namespace condora {

AnalysisState::AnalysisState() = default;
AnalysisState::~AnalysisState() = default;

AnalysisState &analysisState()
{
    static AnalysisState state;
    return state;
}

void resetAnalysisState()
{
    // Field by field, so that references to the state stay valid across a reset.
    AnalysisState &state = analysisState();
    state.testRs.reset();
    state.curConn.reset();
    state.savedCursorLocation = 0;
    state.baseSql.clear();
    state.dbKind.clear();
    state.backslashEscapes = false;
    state.likeBackslashEscapes = false;
    state.fieldCatalog.clear();
    state.filterList.clear();
    state.resultSql.clear();
}

ado::Connection &currentConnection()
{
    AnalysisState &state = analysisState();
    if (!state.curConn) {
        state.curConn = std::make_shared<ado::Connection>();
    }
    return *state.curConn;
}

} // namespace condora
