// Incidents: the checklist of incident types of an order and the recording of the user's choices.
#pragma once

#include <qrnmvl/variant.hpp>

namespace qrnmvl::incidents {

// Operation 1, with its frame.
Variant gMonta_Lista_Tab_Tipo_Incidente(
    Variant& invntConecta_db, Variant& invntBase_dados, Variant& invntUsuario_internet_id,
    Variant& outvntTam_arr, Variant& outarrvntTab_Tipo_Incidente_id,
    Variant& outarrvntDesc_Tipo_Incidente, Variant& outarrvntFlag_Selecionado,
    Variant& invntOrdem_Servico_Tipo_Ident, Variant& OUTarrJustificativa,
    Variant& OUTarrFlag_contr_canhoto, Variant& outvntMsg_Ret, Variant& outarrflag_tipo_cadastro);

// Operation 2, with its frame.
Variant gGrava_Incidente(Variant& invntConecta_db, Variant& invntBase_dados,
                         Variant& invntUsuario_internet_id, Variant& invntOrdem_Servico_Tipo_Ident,
                         Variant& InarrvntTab_Tipo_Incidente_id, Variant& inarrvntFlag_Selecionado,
                         Variant& invntFlag_Grava_Observacao, Variant& invntTam_Arr,
                         Variant& invntObservacao, Variant& INarrJustificativa,
                         Variant& outvntMsg_Ret, Variant& inTAB_TIPO_ORDEM_SERVICO_iD,
                         Variant& INarrflag_tipo_cadastro);

}  // namespace qrnmvl::incidents
