-- params: Agend_Container_ID, Seq_Agendamento, Solicit_Embarque_Container_ID
-- Whether a container line of a closing points at a schedule that fits its
-- container request: the schedule exists, the request (when the line already
-- has one) exists, belongs to the same order and is not tied to another
-- schedule of it. A line without a request yet only needs its schedule.
-- Seq_Agendamento is not used: here a schedule is known by its id alone, so it
-- is taken as whatever it comes as.
-- Always answers one row: retorno 0, or 1 with the reason in Msg_Ret.
CREATE PROCEDURE SP_036_CONSISTE_SEC_AGEND_CONT(IN p_Agend_Container_ID INT,
                                                IN p_Seq_Agendamento TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                                IN p_Solicit_Embarque_Container_ID INT)
  READS SQL DATA
BEGIN
  SELECT CASE WHEN MSG_RET IS NULL THEN 0 ELSE 1 END AS retorno,
         MSG_RET                                      AS Msg_Ret
    FROM (SELECT CASE
                   WHEN p_Agend_Container_ID IS NULL
                     THEN 'Agendamento do container não informado.'
                   WHEN ag.AGEND_CONTAINER_ID IS NULL
                     THEN CONCAT('Agendamento do container não cadastrado: ', p_Agend_Container_ID, '.')
                   WHEN p_Solicit_Embarque_Container_ID IS NULL
                     THEN NULL
                   WHEN sec.SOLICIT_EMBARQUE_CONTAINER_ID IS NULL
                     THEN CONCAT('Solicitação de embarque do container não cadastrada: ',
                                 p_Solicit_Embarque_Container_ID, '.')
                   WHEN sec.ORDEM_SERVICO_ID <> ag.ORDEM_SERVICO_ID
                     THEN CONCAT('A solicitação de embarque ', p_Solicit_Embarque_Container_ID,
                                 ' e o agendamento ', p_Agend_Container_ID,
                                 ' são de ordens de serviço diferentes.')
                   WHEN sec.AGEND_CONTAINER_ID <> p_Agend_Container_ID
                     THEN CONCAT('A solicitação de embarque ', p_Solicit_Embarque_Container_ID,
                                 ' pertence a outro agendamento: ', sec.AGEND_CONTAINER_ID, '.')
                 END AS MSG_RET
            FROM (SELECT 1 AS um) AS uma
            LEFT JOIN AGEND_CONTAINER ag
                   ON ag.AGEND_CONTAINER_ID = p_Agend_Container_ID
            LEFT JOIN SOLICIT_EMBARQUE_CONTAINER sec
                   ON sec.SOLICIT_EMBARQUE_CONTAINER_ID = p_Solicit_Embarque_Container_ID) AS recusa;
END
