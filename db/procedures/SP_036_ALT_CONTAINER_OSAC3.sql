-- params: Ordem_Servico_ID, Agend_Container_ID, Tab_Tipo_Container_ID, Usuario_internet_id
-- Makes the order's container schedules follow the container type a closing
-- reports, together with the type of their container lines. Given a schedule,
-- that schedule changes. Without one (the closing never names it), the
-- schedules that change are those whose container is now registered with the
-- reported type, or the order's only schedule. A schedule that already has
-- the type, or a line reported without a type, changes nothing.
--
-- Answers retorno 0, or 1 with the reason in msg_ret and nothing written.
INSERT INTO RECUSA_CHAMADA (POSICAO, RETORNO, MSG_RET)
SELECT 1, 1, CASE WHEN :Ordem_Servico_ID IS NULL THEN 'Ordem de serviço não informada.'
                  ELSE 'Ordem de serviço não cadastrada: ' || :Ordem_Servico_ID || '.' END
 WHERE NOT EXISTS (SELECT 1 FROM ORDEM_SERVICO WHERE ORDEM_SERVICO_ID = :Ordem_Servico_ID)
UNION ALL
SELECT 2, 1, 'Tipo de container não cadastrado: ' || :Tab_Tipo_Container_ID || '.'
 WHERE :Tab_Tipo_Container_ID IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM TAB_TIPO_CONTAINER WHERE TAB_TIPO_CONTAINER_ID = :Tab_Tipo_Container_ID)
UNION ALL
SELECT 3, 1, 'Agendamento do container ' || :Agend_Container_ID ||
             ' não cadastrado na ordem de serviço ' || :Ordem_Servico_ID || '.'
 WHERE :Agend_Container_ID IS NOT NULL AND :Ordem_Servico_ID IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM AGEND_CONTAINER
                    WHERE AGEND_CONTAINER_ID = :Agend_Container_ID
                      AND ORDEM_SERVICO_ID = :Ordem_Servico_ID)
UNION ALL
SELECT 4, 1, 'Usuário não cadastrado: ' || :Usuario_internet_id || '.'
 WHERE :Usuario_internet_id IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = :Usuario_internet_id);

-- The lines first: the schedules to change are chosen by the types they still have.
WITH alterar AS (
  SELECT ag.AGEND_CONTAINER_ID
    FROM AGEND_CONTAINER ag
   WHERE ag.ORDEM_SERVICO_ID = :Ordem_Servico_ID
     AND :Tab_Tipo_Container_ID IS NOT NULL
     AND ag.TAB_TIPO_CONTAINER_ID IS NOT :Tab_Tipo_Container_ID
     AND CASE WHEN :Agend_Container_ID IS NOT NULL
              THEN ag.AGEND_CONTAINER_ID = :Agend_Container_ID
              ELSE EXISTS (SELECT 1
                             FROM SOLICIT_EMBARQUE_CONTAINER sec
                             JOIN CONTAINER c ON c.CONTAINER_ID = sec.CONTAINER_ID
                            WHERE sec.AGEND_CONTAINER_ID = ag.AGEND_CONTAINER_ID
                              AND c.TAB_TIPO_CONTAINER_ID = :Tab_Tipo_Container_ID)
                OR (SELECT count(*) FROM AGEND_CONTAINER
                     WHERE ORDEM_SERVICO_ID = :Ordem_Servico_ID) = 1
         END
     AND NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA)
)
UPDATE SOLICIT_EMBARQUE_CONTAINER
   SET TAB_TIPO_CONTAINER_ID = :Tab_Tipo_Container_ID,
       DATA_ALTERACAO        = strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime'),
       USUARIO_ALTERACAO_ID  = :Usuario_internet_id
 WHERE AGEND_CONTAINER_ID IN alterar;

WITH alterar AS (
  SELECT ag.AGEND_CONTAINER_ID
    FROM AGEND_CONTAINER ag
   WHERE ag.ORDEM_SERVICO_ID = :Ordem_Servico_ID
     AND :Tab_Tipo_Container_ID IS NOT NULL
     AND ag.TAB_TIPO_CONTAINER_ID IS NOT :Tab_Tipo_Container_ID
     AND CASE WHEN :Agend_Container_ID IS NOT NULL
              THEN ag.AGEND_CONTAINER_ID = :Agend_Container_ID
              ELSE EXISTS (SELECT 1
                             FROM SOLICIT_EMBARQUE_CONTAINER sec
                             JOIN CONTAINER c ON c.CONTAINER_ID = sec.CONTAINER_ID
                            WHERE sec.AGEND_CONTAINER_ID = ag.AGEND_CONTAINER_ID
                              AND c.TAB_TIPO_CONTAINER_ID = :Tab_Tipo_Container_ID)
                OR (SELECT count(*) FROM AGEND_CONTAINER
                     WHERE ORDEM_SERVICO_ID = :Ordem_Servico_ID) = 1
         END
     AND NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA)
)
UPDATE AGEND_CONTAINER
   SET TAB_TIPO_CONTAINER_ID = :Tab_Tipo_Container_ID,
       DATA_ALTERACAO        = strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime'),
       USUARIO_ALTERACAO_ID  = :Usuario_internet_id
 WHERE AGEND_CONTAINER_ID IN alterar;

SELECT coalesce((SELECT RETORNO FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1), 0) AS retorno,
       (SELECT MSG_RET FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1)              AS msg_ret;

DELETE FROM RECUSA_CHAMADA;
