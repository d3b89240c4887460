-- params: Solicit_Embarque_Container_ID, Empresa_ID, Data_Evento, Hora_Evento, Ordem_Servico_ID, Usuario_internet_id, Parametro, Terminal_ID, Docto_Transporte_ID
-- Records one tracking event of a full-container closing. Parametro is the
-- event, as the system parameter of the closing step names it. The container
-- request, when given, must be of the order, and the transport bill of the
-- request (or, for an order-level event, of the order). The date comes as
-- 'yyyy/mm/dd hh:mm' and is stored with seconds; the hour is kept as typed.
--
-- Answers retorno 0 and the new tracking_id, or 1 with the reason in Msg_Ret
-- and nothing written.
INSERT INTO RECUSA_CHAMADA (POSICAO, RETORNO, MSG_RET)
SELECT 1, 1, CASE WHEN :Ordem_Servico_ID IS NULL THEN 'Ordem de serviço não informada.'
                  ELSE 'Ordem de serviço não cadastrada: ' || :Ordem_Servico_ID || '.' END
 WHERE NOT EXISTS (SELECT 1 FROM ORDEM_SERVICO WHERE ORDEM_SERVICO_ID = :Ordem_Servico_ID)
UNION ALL
SELECT 2, 1, CASE WHEN :Parametro IS NULL THEN 'Evento de tracking não informado.'
                  ELSE 'Evento de tracking não cadastrado: ' || :Parametro || '.' END
 WHERE NOT EXISTS (SELECT 1 FROM TAB_EVENTO_TRACKING WHERE TAB_EVENTO_TRACKING_ID = :Parametro)
UNION ALL
-- Read as a day number and back, 31 February comes out as 3 March: not the date typed.
SELECT 3, 1, CASE WHEN :Data_Evento IS NULL THEN 'Informe a data do evento.'
                  ELSE 'Data do evento inválida: ' || :Data_Evento || '.' END
 WHERE strftime('%Y/%m/%d', julianday(replace(trim(:Data_Evento), '/', '-')))
       IS NOT substr(trim(:Data_Evento), 1, 10)
    OR :Data_Evento IS NULL
UNION ALL
SELECT 4, 1, 'Solicitação de embarque do container ' || :Solicit_Embarque_Container_ID ||
             ' não cadastrada na ordem de serviço ' || :Ordem_Servico_ID || '.'
 WHERE :Solicit_Embarque_Container_ID IS NOT NULL AND :Ordem_Servico_ID IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM SOLICIT_EMBARQUE_CONTAINER
                    WHERE SOLICIT_EMBARQUE_CONTAINER_ID = :Solicit_Embarque_Container_ID
                      AND ORDEM_SERVICO_ID = :Ordem_Servico_ID)
UNION ALL
SELECT 5, 1, 'CTAC ' || :Docto_Transporte_ID || ' não cadastrado para o container da ordem de serviço.'
 WHERE :Docto_Transporte_ID IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM DOCTO_TRANSPORTE
                    WHERE DOCTO_TRANSPORTE_ID = :Docto_Transporte_ID
                      AND ORDEM_SERVICO_ID = :Ordem_Servico_ID
                      AND (:Solicit_Embarque_Container_ID IS NULL
                           OR SOLICIT_EMBARQUE_CONTAINER_ID = :Solicit_Embarque_Container_ID))
UNION ALL
SELECT 6, 1, 'Terminal não cadastrado: ' || :Terminal_ID || '.'
 WHERE :Terminal_ID IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM TERMINAL WHERE FORNECEDOR_ID = :Terminal_ID)
UNION ALL
SELECT 7, 1, 'Usuário não cadastrado: ' || :Usuario_internet_id || '.'
 WHERE :Usuario_internet_id IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = :Usuario_internet_id);

INSERT INTO TRACKING (ORDEM_SERVICO_ID, SOLICIT_EMBARQUE_CONTAINER_ID, DOCTO_TRANSPORTE_ID,
                      TAB_EVENTO_TRACKING_ID, TERMINAL_ID, DATA_EVENTO, HORA_EVENTO, EMPRESA_ID,
                      USUARIO_INTERNET_ID, DATA_INCLUSAO)
SELECT :Ordem_Servico_ID, :Solicit_Embarque_Container_ID, :Docto_Transporte_ID, :Parametro,
       :Terminal_ID, strftime('%Y/%m/%d %H:%M:%S', replace(trim(:Data_Evento), '/', '-')),
       :Hora_Evento, :Empresa_ID, :Usuario_internet_id,
       strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime')
 WHERE NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

SELECT coalesce((SELECT RETORNO FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1), 0) AS retorno,
       (SELECT MSG_RET FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1)              AS Msg_Ret,
       CASE WHEN NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA) THEN last_insert_rowid() END
                                                                                  AS tracking_id;

DELETE FROM RECUSA_CHAMADA;
