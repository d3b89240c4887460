-- params: Ordem_Servico_ID, Agend_Container_ID, Observ, Usuario_internet_id
-- Stores the closing observation on a container schedule of the order (the
-- closing of orders that travel under transport bills touches nothing else of
-- the line). Answers retorno 0, or 1 with the reason in Msg_Ret and nothing
-- written.
INSERT INTO RECUSA_CHAMADA (POSICAO, RETORNO, MSG_RET)
SELECT 1, 1, 'Agendamento do container não informado.'
 WHERE :Agend_Container_ID IS NULL
UNION ALL
SELECT 2, 1, 'Agendamento do container ' || :Agend_Container_ID ||
             ' não cadastrado na ordem de serviço ' || coalesce(:Ordem_Servico_ID, 'informada') || '.'
 WHERE :Agend_Container_ID IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM AGEND_CONTAINER
                    WHERE AGEND_CONTAINER_ID = :Agend_Container_ID
                      AND ORDEM_SERVICO_ID = :Ordem_Servico_ID)
UNION ALL
SELECT 3, 1, 'Usuário não cadastrado: ' || :Usuario_internet_id || '.'
 WHERE :Usuario_internet_id IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = :Usuario_internet_id);

UPDATE AGEND_CONTAINER
   SET OBSERV               = :Observ,
       DATA_ALTERACAO       = strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime'),
       USUARIO_ALTERACAO_ID = :Usuario_internet_id
 WHERE AGEND_CONTAINER_ID = :Agend_Container_ID
   AND NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

SELECT coalesce((SELECT RETORNO FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1), 0) AS retorno,
       (SELECT MSG_RET FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1)              AS Msg_Ret;

DELETE FROM RECUSA_CHAMADA;
