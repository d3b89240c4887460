-- params: Agend_Container_ID, Seq_Agendamento, Solicit_Embarque_Container_ID
-- Whether a container line of a closing points at a schedule that fits its
-- container request: the schedule exists, the request (when the line already
-- has one) exists, belongs to the same order and is not tied to another
-- schedule of it. A line without a request yet only needs its schedule.
-- Seq_Agendamento is not used: here a schedule is known by its id alone.
-- Always answers one row: retorno 0, or 1 with the reason in Msg_Ret.
WITH
  agendamento AS (
    SELECT AGEND_CONTAINER_ID, ORDEM_SERVICO_ID
      FROM AGEND_CONTAINER
     WHERE AGEND_CONTAINER_ID = :Agend_Container_ID
  ),
  solicitacao AS (
    SELECT SOLICIT_EMBARQUE_CONTAINER_ID, ORDEM_SERVICO_ID, AGEND_CONTAINER_ID
      FROM SOLICIT_EMBARQUE_CONTAINER
     WHERE SOLICIT_EMBARQUE_CONTAINER_ID = :Solicit_Embarque_Container_ID
  ),
  recusa (MSG_RET) AS (
    SELECT CASE
             WHEN :Agend_Container_ID IS NULL
               THEN 'Agendamento do container não informado.'
             WHEN NOT EXISTS (SELECT 1 FROM agendamento)
               THEN 'Agendamento do container não cadastrado: ' || :Agend_Container_ID || '.'
             WHEN :Solicit_Embarque_Container_ID IS NULL
               THEN NULL
             WHEN NOT EXISTS (SELECT 1 FROM solicitacao)
               THEN 'Solicitação de embarque do container não cadastrada: ' ||
                    :Solicit_Embarque_Container_ID || '.'
             WHEN (SELECT ORDEM_SERVICO_ID FROM solicitacao) <>
                  (SELECT ORDEM_SERVICO_ID FROM agendamento)
               THEN 'A solicitação de embarque ' || :Solicit_Embarque_Container_ID ||
                    ' e o agendamento ' || :Agend_Container_ID ||
                    ' são de ordens de serviço diferentes.'
             WHEN (SELECT AGEND_CONTAINER_ID FROM solicitacao) <> :Agend_Container_ID
               THEN 'A solicitação de embarque ' || :Solicit_Embarque_Container_ID ||
                    ' pertence a outro agendamento: ' ||
                    (SELECT AGEND_CONTAINER_ID FROM solicitacao) || '.'
           END
  )
SELECT CASE WHEN MSG_RET IS NULL THEN 0 ELSE 1 END AS retorno,
       MSG_RET                                      AS Msg_Ret
  FROM recusa;
